#pragma once

#include "file.h"

#include <cstdint>
#include <vector>

// A File in front of another that gathers the chunk reader's and writer's many small
// reads and writes (8-byte headers, small bodies) into few large transfers of one window
// of the file. A transfer at least as large as the window goes straight through, in
// pieces of at most 256 KiB. A header patch inside the window is made in memory, one
// before it goes straight to the file.
//
// Writes are accepted into the window and reach the file when it moves on or at flush():
// a failure may therefore show only there. flush() must be called after the last write;
// the destructor drops what was not flushed. Only one BufferedFile may work on a file at
// a time, and the file must not change beneath it.
class BufferedFile : public File {
public:
    static constexpr std::uint32_t WINDOW = 1u << 20;

    explicit BufferedFile(File& file, std::uint32_t window = WINDOW);

    std::uint32_t size() override;
    void seek(std::uint32_t pos) override;
    std::uint32_t tell() override;
    std::uint32_t read(void* buffer, std::uint32_t count) override;
    std::uint32_t write(const void* buffer, std::uint32_t count) override;

    // Writes out what the window holds; false when the file did not take all of it, now
    // or at any earlier write-back.
    bool flush();

private:
    // Transfers at `offset` straight to or from the file.
    std::uint32_t readThrough(void* buffer, std::uint32_t count, std::uint32_t offset);
    std::uint32_t writeThrough(const void* buffer, std::uint32_t count, std::uint32_t offset);
    // Lets the window hold `bytes`: it grows as it is used, so that a small file never
    // costs a whole window.
    void makeRoom(std::uint64_t bytes);

    File& file;
    const std::uint32_t capacity;
    std::vector<std::uint8_t> window;
    std::uint32_t windowStart = 0; // the file offset of window[0]
    std::uint32_t windowFill = 0;  // how many bytes of the window hold the file's content
    bool windowWritten = false;    // the window holds writes the file has not seen yet
    bool writeFailed = false;
    std::uint32_t position = 0;
    std::uint32_t end;
};
