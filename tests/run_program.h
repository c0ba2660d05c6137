#pragma once

#include <functional>
#include <string>
#include <vector>

// Runs a program to its end as a user at a terminal would: what it printed (decoded from
// UTF-8) and its exit code (on Linux 128 + the signal's number when one ended it).
// `meanwhile` runs once it has started, with its process id; on Windows the program then
// has a console of its own, so that it can be interrupted.
struct ProgramRun {
    int exitCode = -1;
    std::wstring out;
    std::wstring err;
};

ProgramRun runProgram(const std::wstring& program, const std::vector<std::wstring>& arguments,
                      const std::function<void(long processId)>& meanwhile = nullptr);

// Interrupts a running program as a user at its terminal would: SIGTERM on Linux, Ctrl+C
// in its console on Windows.
void interrupt(long processId);

#ifdef _WIN32
// One argument as it goes into a Windows command line, so that the program's parser
// (the C runtime's, or CommandLineToArgvW) gives it back unchanged.
std::wstring quoted(const std::wstring& argument);
#endif
