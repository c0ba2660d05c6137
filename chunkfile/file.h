#pragma once

#include "file_handle.h"

#include <cstdint>
#include <string>
#include <vector>

// A file with a current position. Sizes and positions are 32-bit.
class File {
public:
    virtual ~File() {}
    virtual std::uint32_t size() = 0;
    // Moves the position, but never beyond the end of the file.
    virtual void seek(std::uint32_t pos) = 0;
    virtual std::uint32_t tell() = 0;
    // Read and write return the number of bytes transferred, fewer than `count` at the end
    // of the file or after a failure, and never throw.
    virtual std::uint32_t read(void* buffer, std::uint32_t count) = 0;
    virtual std::uint32_t write(const void* buffer, std::uint32_t count) = 0;
};

// A plain file on disk, opened by holdFile (held_file.h) or by the safe write; files are
// written only through writeFileSafely. The object, not the operating system, holds the
// position; every read and write goes to that position.
class PhysicalFile : public File {
public:
    // Takes over a file that is already open, at position 0: a file that must not be
    // opened by name again.
    explicit PhysicalFile(FileHandle adopted);
    PhysicalFile(PhysicalFile&&) = default;
    PhysicalFile(const PhysicalFile&) = delete;
    PhysicalFile& operator=(const PhysicalFile&) = delete;

    std::uint32_t size() override;
    // Asks the system for the size only when `pos` lies beyond the size last seen (at
    // open, by size(), or grown by this object's writes): the chunk writer seeks twice
    // per chunk, and a size query each time cost as much as the writes themselves.
    void seek(std::uint32_t pos) override;
    std::uint32_t tell() override;
    std::uint32_t read(void* buffer, std::uint32_t count) override;
    std::uint32_t write(const void* buffer, std::uint32_t count) override;

    // The full 64-bit length, so that callers can refuse files a 32-bit size cannot describe.
    std::uint64_t fullSize();
    // Pushes written data to the disk; false when the system reports a failure.
    bool flush();
    // Empties the file and moves to its start; false when the system reports a failure.
    bool truncate();
    FileHandle::Type handle() const { return file.get(); }
    // Gives the open file away, so that it can be closed before the file is renamed.
    FileHandle release() { return std::move(file); }

private:
    FileHandle file;
    std::uint32_t position = 0;
    std::uint32_t knownSize = 0;
};

// Copies `count` bytes at `fromOffset` of `from` to `toOffset` of `to` and leaves `to` at
// the end of what was copied. Between two PhysicalFiles the copy goes straight between
// their handles (native::copyRange); with a file in memory on either side, through the
// files' own calls. `buffer` is used as large as it is (COPY_BUFFER when empty) with a
// file in memory, and grows to COPY_BUFFER between files on disk. Returns the count done, less
// on a failure or when the source ends first.
std::uint32_t copyBetween(File& from, std::uint32_t fromOffset, File& to, std::uint32_t toOffset,
                          std::uint32_t count, std::vector<std::uint8_t>& buffer);
