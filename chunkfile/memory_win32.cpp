#include "native.h"

#include <windows.h>

#include <limits>

namespace native {

void* allocatePages(std::size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void releasePages(void* memory, std::size_t) {
    VirtualFree(memory, 0, MEM_RELEASE);
}

std::uint64_t availableMemory() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return std::numeric_limits<std::uint64_t>::max();
    return status.ullAvailPhys;
}

} // namespace native
