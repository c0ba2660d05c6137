#include "command_line.h"

#include <windows.h>

#include <memory>
#include <shellapi.h>
#include <shlwapi.h>

namespace {

struct LocalMemoryRelease {
    void operator()(LPWSTR* memory) const { LocalFree(memory); }
};

} // namespace

std::vector<std::wstring> commandLineArguments() {
    int count = 0;
    const std::unique_ptr<LPWSTR[], LocalMemoryRelease> split(
        CommandLineToArgvW(GetCommandLineW(), &count));
    if (!split)
        return {};
    return std::vector<std::wstring>(split.get(), split.get() + count);
}

const wchar_t* startPath(const std::vector<std::wstring>& arguments) {
    if (arguments.size() >= 2 && PathFileExistsW(arguments[1].c_str()))
        return arguments[1].c_str();
    return nullptr;
}
