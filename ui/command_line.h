#pragma once

#include <string>
#include <vector>

// The process's wide command line split as the platform splits it; entry 0 is the
// program. Empty when the platform cannot split it.
std::vector<std::wstring> commandLineArguments();

// The path the dialog starts with: the first argument when it names an existing file or
// folder, otherwise none (null). Later arguments are never looked at.
const wchar_t* startPath(const std::vector<std::wstring>& arguments);
