#pragma once

#include "file_handle.h"

#include <cstdint>
#include <string>
#include <vector>

// The platform's side of file access and of the memory a chunk tree takes, one
// implementation per platform. Everything portable about PhysicalFile (its position, the
// end a seek stops at) is built on it.

namespace native {

// Transfers at `offset`, repeating partial transfers; the count done, which is short at the
// end of the file or when the system reports a failure.
std::uint32_t readAt(FileHandle::Type file, void* buffer, std::uint32_t count,
                     std::uint64_t offset);
std::uint32_t writeAt(FileHandle::Type file, const void* buffer, std::uint32_t count,
                      std::uint64_t offset);
std::uint64_t sizeOf(FileHandle::Type file);
bool sync(FileHandle::Type file);
// Starts writing the range to the disk without waiting for it (sync_file_range; nothing
// on Windows), so that the writing overlaps the copy and the flush at the end has little
// left to wait for: a copy of 255 MiB and its flush took 0.12 s instead of 0.19 s.
void startWriteBack(FileHandle::Type file, std::uint64_t offset, std::uint32_t count);
// Cuts the file to nothing; false when the system reports a failure.
bool truncate(FileHandle::Type file);

// Copies `count` bytes at `fromOffset` of `from` to `toOffset` of `to` through `buffer`,
// which grows to COPY_BUFFER once and is reused from call to call. Returns the count done;
// less when a read or a write fails or the source ends first. (The kernel's own
// copy_file_range was measured slower than this on ext4 for the map's unaligned ranges, in
// the copy and in the flush after it.)
constexpr std::uint32_t COPY_BUFFER = 1u << 20;
std::uint64_t copyRange(FileHandle::Type from, std::uint64_t fromOffset, FileHandle::Type to,
                        std::uint64_t toOffset, std::uint64_t count,
                        std::vector<std::uint8_t>& buffer);

// Closes the last handle of a file whose last name is gone (a map just replaced) so that
// the caller need not wait while the system frees its space: on POSIX systems a short-lived
// background process holds the last reference and closes it; elsewhere, and where no such
// process can be started, the handle closes here.
void closeInBackground(FileHandle file);

// The failure of the last file call on `shownPath`, as the user reads it: a missing file
// or folder is FileNotFoundException ("Unable to find file:\n" + path), anything else
// IOException ("Unable to open file:\n" + path).
[[noreturn]] void throwOpenFailure(const std::wstring& shownPath);

// Fresh pages for a chunk tree, faulted in at once rather than 4 KiB at a time while a
// body is read into them. Null when there are none.
void* allocatePages(std::size_t bytes);
void releasePages(void* memory, std::size_t bytes);

// What the machine has available now (MemAvailable on Linux, the available physical memory
// on Windows), and what the limits set on the process still allow (its cgroups and
// RLIMIT_AS on Linux, its job object on Windows); the largest value when nothing can be told.
std::uint64_t machineMemoryAvailable();
std::uint64_t processMemoryRoom();

// How much more memory the process may take now: the least of the two, less a reserve
// that the rest of the run needs beside the tree (past a limit the kernel may end the
// process without a word, or any allocation fail).
std::uint64_t availableMemory();

} // namespace native
