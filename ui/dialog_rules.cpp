#include "dialog_rules.h"

#include <windows.h>

#include <shlwapi.h>

bool canExtract(const std::wstring& path) {
    return PathFileExistsW(path.c_str()) && !PathIsDirectoryW(path.c_str());
}
