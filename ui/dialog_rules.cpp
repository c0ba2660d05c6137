#include "dialog_rules.h"

#include <windows.h>

#include <shlwapi.h>

bool canExtract(const std::wstring& path) {
    return PathFileExistsW(path.c_str()) && !PathIsDirectoryW(path.c_str());
}

std::wstring bareFileName(const std::wstring& path) {
    const wchar_t* name = PathFindFileNameW(path.c_str());
    const wchar_t* extension = PathFindExtensionW(name);
    return std::wstring(name, extension);
}
