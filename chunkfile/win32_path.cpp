#include "win32_path.h"

#include <windows.h>

#include <cwchar>
#include <vector>

namespace {

bool startsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, std::wcslen(prefix), prefix) == 0;
}

bool isUncPath(const std::wstring& path) {
    return startsWith(path, L"\\\\");
}

bool isDrivePath(const std::wstring& path) {
    return path.size() >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

// The form win32Path gives a full path, as GetFullPathNameW returns one: unchanged
// below MAX_PATH, with the extended-length prefix from there on.
std::wstring extendedLengthForm(const std::wstring& fullPath) {
    if (fullPath.size() < MAX_PATH || isDevicePath(fullPath))
        return fullPath;
    if (isUncPath(fullPath))
        return L"\\\\?\\UNC\\" + fullPath.substr(2);
    if (isDrivePath(fullPath))
        return L"\\\\?\\" + fullPath;
    return fullPath;
}

} // namespace

bool isDevicePath(const std::wstring& path) {
    const auto slash = [&](std::size_t at) { return path[at] == L'\\' || path[at] == L'/'; };
    return path.size() >= 4 && slash(0) && slash(1) && (path[2] == L'?' || path[2] == L'.') &&
           slash(3);
}

std::wstring fullPathName(const std::wstring& path) {
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return path;
    std::vector<wchar_t> buffer(needed);
    const DWORD length = GetFullPathNameW(path.c_str(), needed, buffer.data(), nullptr);
    if (length == 0 || length >= needed)
        return path;
    return std::wstring(buffer.data(), length);
}

std::wstring win32Path(const std::wstring& path) {
    if (isDevicePath(path))
        return path;
    // Short absolute paths, the usual case, go to the calls as they are.
    if (path.size() < MAX_PATH && (isDrivePath(path) || isUncPath(path)))
        return path;
    // The extended-length form is taken literally: no "..", no "/", no relative parts,
    // so the full path is made first.
    const std::wstring full = fullPathName(path);
    return full.size() < MAX_PATH ? path : extendedLengthForm(full);
}
