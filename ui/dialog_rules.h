#pragma once

#include <string>

// The extract button's rule: true when `path` names an existing file that is not a
// folder. A relative path is taken against the current folder.
bool canExtract(const std::wstring& path);

// The map's name without folder and extension, offered as the Targa file's name:
// "C:\maps\alpha.v2.ted" gives "alpha.v2", ".ted" gives "" and "a.b c" stays whole.
std::wstring bareFileName(const std::wstring& path);
