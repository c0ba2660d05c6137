#include "path_shapes.h"
#include "utf8.h"

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

std::vector<PathShape> hostilePathShapes() {
    return {
        {"NonAsciiLetters",
         [](const TempDir& d) { return d.file(L"Karte \u00c4 \u65e5\u672c.ted"); }},
        {"SpacesAndSeveralDots",
         [](const TempDir& d) { return d.file(L" old map . v1.2 .final.ted"); }},
        // The longest path a 260-character buffer holds, and the first ones past it.
        {"Length259", [](const TempDir& d) { return pathOfLength(d, 259, L".ted"); }},
        {"Length260", [](const TempDir& d) { return pathOfLength(d, 260, L".ted"); }},
        {"Length300", [](const TempDir& d) { return pathOfLength(d, 300, L".ted"); }},
        // A folder so long that the temporary file beside the map is past the limit too.
        {"LongFolder", [](const TempDir& d) { return pathOfLength(d, 290, L".ted", 24); }},
    };
}

std::wstring withExtension(const std::wstring& path, const std::wstring& extension) {
    return path.substr(0, path.size() - 4) + extension;
}

std::wstring nameOf(const std::wstring& path) {
    return path.substr(path.find_last_of(SEPARATOR) + 1);
}

std::set<std::wstring> namesBeside(const std::wstring& path) {
    const std::wstring folder = path.substr(0, path.find_last_of(SEPARATOR));
    std::set<std::wstring> names;
#ifdef _WIN32
    // The library's folder iterator does not take extended-length paths.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((nativePath(folder).wstring() + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.insert(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
#else
    for (const auto& entry : std::filesystem::directory_iterator(nativePath(folder)))
        names.insert(fromUtf8(entry.path().filename().string()));
#endif
    return names;
}
