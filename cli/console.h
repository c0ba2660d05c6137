#pragma once

#include <string>

// Text for the terminal: to a Windows console as wide characters, anywhere else
// (Linux, or a redirected stream) as UTF-8. Each call writes one line.
void printLine(const std::wstring& line);
void printError(const std::wstring& line);
