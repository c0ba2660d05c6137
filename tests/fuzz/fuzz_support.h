#pragma once

#include "test_support.h"
#include "utf8.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// Where the extraction target keeps its files: in RAM (/dev/shm) where there is such a
// folder, so that the real file calls, flushes included, cost next to nothing.
inline std::filesystem::path ramFolder() {
    std::error_code error;
    return std::filesystem::is_directory("/dev/shm", error)
               ? "/dev/shm"
               : std::filesystem::temp_directory_path();
}

// Prints what went wrong and aborts, which libFuzzer reports with the input.
[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "\n*** %s\n", what.c_str());
    std::abort();
}
