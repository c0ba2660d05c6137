#pragma once

#include <functional>
#include <string>
#include <vector>

// A program run to its end (exit code 128 + a signal that ended it); `meanwhile` gets its id.
struct ProgramRun {
    int exitCode = -1;
    std::wstring out;
    std::wstring err;
};

ProgramRun runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments,
                      const std::function<void(long processId)>& meanwhile = nullptr);
