#pragma once

#include <string>

// The extract button's rule: true when `path` names an existing file that is not a
// folder. A relative path is taken against the current folder.
bool canExtract(const std::wstring& path);
