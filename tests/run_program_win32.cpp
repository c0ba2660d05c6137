#include "native.h"
#include "run_program.h"
#include "test_support.h"
#include "utf8.h"

#include <windows.h>

#include <stdexcept>

// Quotes one argument so that the C runtime's parser gives it back unchanged.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

ProgramRun runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments,
                      const std::function<void(long processId)>& meanwhile) {
    TempDir capture;
    const std::wstring outPath = capture.file(L"out"), errPath = capture.file(L"err");
    std::wstring commandLine = quoted(program);
    for (const auto& argument : arguments)
        commandLine += L" " + quoted(argument);

    const auto inheritableFile = [](const std::wstring& path) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    ProgramRun run;
    {
        const FileHandle out(inheritableFile(outPath)), err(inheritableFile(errPath));
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out.get();
        startup.hStdError = err.get();
        PROCESS_INFORMATION process{};
        const DWORD console = meanwhile ? CREATE_NEW_CONSOLE : 0;
        if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, console,
                            nullptr, nullptr, &startup, &process))
            throw std::runtime_error("cannot start " + toUtf8(program));
        const FileHandle processHandle(process.hProcess), thread(process.hThread);
        if (meanwhile)
            meanwhile(static_cast<long>(process.dwProcessId));
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        run.exitCode = static_cast<int>(code);
    }
    const Bytes out = readFile(outPath), err = readFile(errPath);
    run.out = fromUtf8(std::string(out.begin(), out.end()));
    run.err = fromUtf8(std::string(err.begin(), err.end()));
    return run;
}

// Ctrl+C goes to every program of a console: join the program's, ignoring the event
// here, and leave it again.
void interrupt(long processId) {
    FreeConsole();
    if (!AttachConsole(static_cast<DWORD>(processId)))
        throw std::runtime_error("cannot join the program's console");
    SetConsoleCtrlHandler(nullptr, TRUE);
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    Sleep(100);
    FreeConsole();
    SetConsoleCtrlHandler(nullptr, FALSE);
}
