#include "run_program.h"
#include "test_support.h"
#include "utf8.h"

#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

ProgramRun runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments,
                      const std::function<void(long processId)>& meanwhile) {
    TempDir capture;
    const std::wstring outPath = capture.file(L"out"), errPath = capture.file(L"err");
    std::vector<std::string> argv{toUtf8(program)};
    for (const auto& argument : arguments)
        argv.push_back(toUtf8(argument));
    std::vector<char*> pointers;
    for (auto& argument : argv)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);

    const pid_t child = fork();
    if (child < 0)
        throw std::runtime_error("fork failed");
    if (child == 0) {
        const int out = open(toUtf8(outPath).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(toUtf8(errPath).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(err, 2);
        execv(pointers[0], pointers.data());
        _exit(127);
    }
    if (meanwhile)
        meanwhile(child);
    int status = 0;
    waitpid(child, &status, 0);
    ProgramRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const Bytes out = readFile(outPath), err = readFile(errPath);
    run.out = fromUtf8(std::string(out.begin(), out.end()));
    run.err = fromUtf8(std::string(err.begin(), err.end()));
    return run;
}

void interrupt(long processId) {
    kill(static_cast<pid_t>(processId), SIGTERM);
}
