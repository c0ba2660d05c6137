#include "console.h"
#include "utf8.h"

#include <windows.h>

namespace {

void writeLine(DWORD stream, const std::wstring& line) {
    HANDLE handle = GetStdHandle(stream);
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr)
        return;
    const std::wstring withBreak = line + L"\n";
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, withBreak.c_str(), static_cast<DWORD>(withBreak.size()), &written,
                      nullptr);
        return;
    }
    const std::string bytes = toUtf8(withBreak);
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

} // namespace

void printLine(const std::wstring& line) {
    writeLine(STD_OUTPUT_HANDLE, line);
}

void printError(const std::wstring& line) {
    writeLine(STD_ERROR_HANDLE, line);
}
