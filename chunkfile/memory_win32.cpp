#include "native.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <limits>

namespace {

constexpr std::uint64_t UNLIMITED = std::numeric_limits<std::uint64_t>::max();

std::uint64_t roomUnder(std::uint64_t limit, std::uint64_t used) {
    return limit - std::min(limit, used);
}

// The job's memory in use now (JobObjectMemoryUsageInformation, newer than the headers),
// or its peak, which is never less, where that cannot be told.
std::uint64_t jobMemoryUsed(const JOBOBJECT_EXTENDED_LIMIT_INFORMATION& limits) {
    struct {
        ULONG64 jobMemory;
        ULONG64 peakJobMemoryUsed;
    } usage{};
    if (QueryInformationJobObject(nullptr, static_cast<JOBOBJECTINFOCLASS>(28), &usage,
                                  sizeof usage, nullptr))
        return usage.jobMemory;
    return limits.PeakJobMemoryUsed;
}

// What the job object the process runs in still allows: its limits on the memory that the
// process and the whole job commit, less what they have committed.
std::uint64_t jobRoom() {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    if (!QueryInformationJobObject(nullptr, JobObjectExtendedLimitInformation, &limits,
                                   sizeof limits, nullptr))
        return UNLIMITED;
    const DWORD flags = limits.BasicLimitInformation.LimitFlags;
    std::uint64_t room = UNLIMITED;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if ((flags & JOB_OBJECT_LIMIT_PROCESS_MEMORY) &&
        GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters))
        room = roomUnder(limits.ProcessMemoryLimit, counters.PrivateUsage);
    if (flags & JOB_OBJECT_LIMIT_JOB_MEMORY)
        room = std::min(room, roomUnder(limits.JobMemoryLimit, jobMemoryUsed(limits)));
    return room;
}

} // namespace

namespace native {

void* allocatePages(std::size_t bytes) {
    return VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
}

void releasePages(void* memory, std::size_t) {
    VirtualFree(memory, 0, MEM_RELEASE);
}

std::uint64_t machineMemoryAvailable() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullAvailPhys : UNLIMITED;
}

std::uint64_t processMemoryRoom() {
    return jobRoom();
}

} // namespace native
