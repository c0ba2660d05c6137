#include "console.h"
#include "utf8.h"

#include <cstdio>

void printLine(const std::wstring& line) {
    std::fputs((toUtf8(line) + "\n").c_str(), stdout);
}

void printError(const std::wstring& line) {
    std::fflush(stdout);
    std::fputs((toUtf8(line) + "\n").c_str(), stderr);
}
