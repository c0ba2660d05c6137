#pragma once

#include <functional>
#include <string>
#include <vector>

// Runs a program to its end: what it printed, its exit code (128 + a signal that ended it);
// `meanwhile` gets its process id, to drive its windows.
struct ProgramRun {
    int exitCode = -1;
    std::wstring out;
    std::wstring err;
};

ProgramRun runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments,
                      const std::function<void(long processId)>& meanwhile = nullptr);
