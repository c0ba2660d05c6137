#pragma once

#include "test_support.h"

#include <filesystem>
#include <string>

// Where the fuzz targets keep their files: in RAM (/dev/shm) where there is such a
// folder, so that the real file calls, flushes included, cost next to nothing.
std::filesystem::path ramFolder();

// Prints what went wrong and aborts, which libFuzzer reports with the input.
[[noreturn]] void fail(const std::string& what);
