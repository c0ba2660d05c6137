#include "preview_name.h"
#include "file_system.h"

namespace {

using namespace filesystem_ops;

bool isOneOf(wchar_t c, const wchar_t* set) {
    return std::wstring::traits_type::find(set, std::wstring::traits_type::length(set), c) !=
           nullptr;
}

std::size_t nameStart(const std::wstring& path) {
    std::size_t start = 0;
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        if (isOneOf(path[i], PATH_SEPARATORS) && !isOneOf(path[i + 1], FOLDER_SEPARATORS))
            start = i + 1;
    }
    return start;
}

} // namespace

std::wstring bareFileName(const std::wstring& path) {
    const std::size_t start = nameStart(path);
    std::size_t end = path.size();
    for (std::size_t i = start; i < path.size(); ++i) {
        if (path[i] == L'.')
            end = i;
        else if (isOneOf(path[i], EXTENSION_ENDS))
            end = path.size();
    }
    return path.substr(start, end - start);
}

std::wstring defaultPreviewPath(const std::wstring& mapPath) {
    return mapPath.substr(0, nameStart(mapPath)) + bareFileName(mapPath) + L".tga";
}
