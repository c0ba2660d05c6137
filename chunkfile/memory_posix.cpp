#include "native.h"

#include <cstdio>
#include <limits>
#include <sys/mman.h>

namespace native {

void* allocatePages(std::size_t bytes) {
    void* memory =
        ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return nullptr;
#ifdef MADV_POPULATE_WRITE
    // Faulting it all in at once, before the read, was faster and steadier than page by
    // page inside the read. Huge pages were not: they made the run take from one to
    // three times as long, at random.
    ::madvise(memory, bytes, MADV_POPULATE_WRITE);
#endif
    return memory;
}

void releasePages(void* memory, std::size_t bytes) {
    ::munmap(memory, bytes);
}

std::uint64_t availableMemory() {
    unsigned long long kib = 0;
    if (std::FILE* info = std::fopen("/proc/meminfo", "r")) {
        char line[256];
        bool found = false;
        while (!found && std::fgets(line, sizeof line, info))
            found = std::sscanf(line, "MemAvailable: %llu kB", &kib) == 1;
        std::fclose(info);
        if (found)
            return kib * 1024;
    }
    return std::numeric_limits<std::uint64_t>::max();
}

} // namespace native
