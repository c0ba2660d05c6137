#include "command_line.h"
#include "unique_handle.h"

#include <windows.h>

#include <shellapi.h>
#include <shlwapi.h>

namespace {

struct LocalMemoryTraits {
    using Type = LPWSTR*;
    static Type invalid() { return nullptr; }
    static void close(Type memory) { LocalFree(memory); }
};

} // namespace

std::vector<std::wstring> commandLineArguments() {
    int count = 0;
    const UniqueHandle<LocalMemoryTraits> split(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!split)
        return {};
    return std::vector<std::wstring>(split.get(), split.get() + count);
}

const wchar_t* startPath(const std::vector<std::wstring>& arguments) {
    if (arguments.size() >= 2 && PathFileExistsW(arguments[1].c_str()))
        return arguments[1].c_str();
    return nullptr;
}
