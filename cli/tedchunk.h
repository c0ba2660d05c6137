#pragma once

#include <string>
#include <vector>

// Exit codes of tedchunk.
enum ExitCode {
    EXIT_ALL_DONE = 0,
    EXIT_FAILED = 1,    // some map could not be read, written or extracted
    EXIT_USAGE = 2,     // the command line was wrong
    EXIT_NO_PREVIEW = 3 // nothing failed, but some map had no preview
};

// Runs one command line (without the program's name) and returns the exit code.
int runTedchunk(const std::vector<std::wstring>& arguments);
