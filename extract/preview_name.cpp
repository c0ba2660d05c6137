#include "preview_name.h"

namespace {

#ifdef _WIN32
constexpr const wchar_t* SEPARATORS = L"\\/:";
#else
constexpr const wchar_t* SEPARATORS = L"/";
#endif

} // namespace

std::wstring defaultPreviewPath(const std::wstring& mapPath) {
    const auto separator = mapPath.find_last_of(SEPARATORS);
    const std::size_t nameStart = separator == std::wstring::npos ? 0 : separator + 1;
    std::size_t extension = std::wstring::npos;
    for (std::size_t i = nameStart; i < mapPath.size(); ++i) {
        if (mapPath[i] == L'.')
            extension = i;
        else if (mapPath[i] == L' ')
            extension = std::wstring::npos;
    }
    const std::size_t nameEnd = extension == std::wstring::npos ? mapPath.size() : extension;
    return mapPath.substr(0, nameEnd) + L".tga";
}
