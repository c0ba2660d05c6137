#include "native.h"

#include <algorithm>

namespace native {

std::uint64_t availableMemory() {
    const std::uint64_t limited = processMemoryRoom(), reserve = 16 << 20;
    return std::min(machineMemoryAvailable(), limited - std::min(limited, reserve));
}

} // namespace native
