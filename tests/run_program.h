#pragma once

#include <string>
#include <vector>

// Runs a program to its end: what it printed, its exit code (128 + a signal that ended it).
struct ProgramRun {
    int exitCode = -1;
    std::wstring out;
    std::wstring err;
};

ProgramRun runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments);
