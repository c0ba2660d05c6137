#include "run_program.h"
#include "test_support.h"
#include "utf8.h"

#include <windows.h>

namespace {

// One argument quoted whole, a quote and the backslashes before it or the closing one escaped.
std::wstring quoted(const std::wstring& argument) {
    std::wstring out = L"\"";
    std::size_t backslashes = 0; // just written
    for (const wchar_t c : argument) {
        out.append(c == L'"' ? backslashes + 1 : 0, L'\\') += c;
        backslashes = c == L'\\' ? backslashes + 1 : 0;
    }
    return out.append(backslashes, L'\\') + L"\"";
}

} // namespace

// What the program prints goes to files, read once it has ended.
ProgramRun runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments,
                      const std::function<void(long processId)>& meanwhile) {
    std::wstring commandLine = quoted(program);
    for (const auto& argument : arguments)
        commandLine += L" " + quoted(argument);
    const TempDir capture;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto file = [&](const wchar_t* name) {
        return FileHandle(CreateFileW(capture.file(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                      &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    };
    const FileHandle outFile = file(L"out"), errFile = file(L"err");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup, startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = outFile.get(), startup.hStdError = errFile.get();
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &process))
        throw std::runtime_error("cannot start " + toUtf8(program));
    const FileHandle processHandle(process.hProcess), thread(process.hThread);
    if (meanwhile)
        meanwhile(static_cast<long>(process.dwProcessId));
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    const Bytes out = readFile(capture.file(L"out")), err = readFile(capture.file(L"err"));
    return ProgramRun{static_cast<int>(code), fromUtf8(std::string(out.begin(), out.end())),
                      fromUtf8(std::string(err.begin(), err.end()))};
}
