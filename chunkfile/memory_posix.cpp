#include "native.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr std::uint64_t UNLIMITED = std::numeric_limits<std::uint64_t>::max();

std::string firstLine(const std::string& path) {
    std::ifstream file(path);
    std::string line;
    std::getline(file, line);
    return line;
}

// The number a cgroup file holds, or nothing ("max", or no such file).
std::optional<std::uint64_t> numberIn(const std::string& path) {
    const std::string line = firstLine(path);
    std::uint64_t number = 0;
    // No digits at all is an error too.
    if (std::from_chars(line.data(), line.data() + line.size(), number).ec != std::errc())
        return std::nullopt;
    return number;
}

// The value of `key` in a file of "key value" lines such as /proc/meminfo; 0 if missing.
std::uint64_t valueIn(const std::string& path, const std::string& key) {
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        std::istringstream fields(line);
        std::string name;
        std::uint64_t value = 0;
        if (fields >> name >> value && name == key)
            return value;
    }
    return 0;
}

// What a cgroup and each one above it still allow: limit minus usage, the file cache that
// the kernel can drop on demand not counted as used.
std::uint64_t roomFrom(const std::string& mount, std::string group, const char* limitName,
                       const char* usageName, const char* cacheName) {
    std::uint64_t room = UNLIMITED;
    for (;;) {
        const std::string folder = mount + group + "/";
        const std::optional<std::uint64_t> limit = numberIn(folder + limitName),
                                           usage = numberIn(folder + usageName);
        if (limit && usage) {
            const std::uint64_t cache = valueIn(folder + "memory.stat", cacheName);
            const std::uint64_t used = *usage - std::min(*usage, cache);
            room = std::min(room, *limit - std::min(*limit, used));
        }
        if (group.empty())
            return room;
        group.erase(group.find_last_of('/'));
    }
}

// The process's cgroups are the lines "hierarchy:controllers:/path" of /proc/self/cgroup:
// the unified one (v2) has no controllers, a v1 memory controller says "memory".
std::uint64_t cgroupRoom() {
    std::ifstream groups("/proc/self/cgroup");
    std::uint64_t room = UNLIMITED;
    for (std::string line; std::getline(groups, line);) {
        const std::size_t first = line.find(':'), second = line.find(':', first + 1);
        if (second == std::string::npos)
            continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        std::string group = line.substr(second + 1);
        if (group == "/")
            group.clear();
        if (controllers.empty())
            room = std::min(room, roomFrom("/sys/fs/cgroup", group, "memory.max", "memory.current",
                                           "inactive_file"));
        else if (("," + controllers + ",").find(",memory,") != std::string::npos)
            room = std::min(room, roomFrom("/sys/fs/cgroup/memory", group, "memory.limit_in_bytes",
                                           "memory.usage_in_bytes", "total_inactive_file"));
    }
    return room;
}

// The address-space limit (RLIMIT_AS) less what the process maps already.
std::uint64_t addressSpaceRoom() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return UNLIMITED;
    const std::uint64_t mapped =
        numberIn("/proc/self/statm").value_or(0) * static_cast<std::uint64_t>(::getpagesize());
    return limit.rlim_cur - std::min<std::uint64_t>(limit.rlim_cur, mapped);
}

} // namespace

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

std::uint64_t machineMemoryAvailable() {
    const std::uint64_t kib = valueIn("/proc/meminfo", "MemAvailable:");
    return kib ? kib * 1024 : UNLIMITED;
}

std::uint64_t processMemoryRoom() {
    return std::min(cgroupRoom(), addressSpaceRoom());
}

} // namespace native
