#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>

std::filesystem::path ramFolder() {
    std::error_code error;
    return std::filesystem::is_directory("/dev/shm", error)
               ? std::filesystem::path("/dev/shm")
               : std::filesystem::temp_directory_path();
}

void fail(const std::string& what) {
    std::fprintf(stderr, "\n*** %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}
