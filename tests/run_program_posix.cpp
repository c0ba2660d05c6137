#include "run_program.h"
#include "test_support.h"
#include "utf8.h"

#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

ProgramRun runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments,
                      const std::function<void(long processId)>& meanwhile) {
    TempDir capture;
    std::vector<std::string> argv{toUtf8(program)};
    for (const auto& argument : arguments)
        argv.push_back(toUtf8(argument));
    std::vector<char*> pointers;
    for (auto& argument : argv)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("no process for " + argv[0]);
    if (child == 0) {
        dup2(open(toUtf8(capture.file(L"out")).c_str(), O_WRONLY | O_CREAT, 0600), 1);
        dup2(open(toUtf8(capture.file(L"err")).c_str(), O_WRONLY | O_CREAT, 0600), 2);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    if (meanwhile)
        meanwhile(child);
    int status = 0;
    waitpid(child, &status, 0);
    const auto printed = [&](const wchar_t* name) {
        const Bytes bytes = readFile(capture.file(name));
        return fromUtf8(std::string(bytes.begin(), bytes.end()));
    };
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), printed(L"out"),
            printed(L"err")};
}
