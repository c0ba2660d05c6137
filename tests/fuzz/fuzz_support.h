#pragma once

#include "test_support.h"

#include <cstdio>
#include <cstdlib>
#include <string>

// Prints what went wrong and aborts, which libFuzzer reports with the input.
[[noreturn]] inline void fail(const std::string& what) {
    std::fprintf(stderr, "\n*** %s\n", what.c_str());
    std::abort();
}
