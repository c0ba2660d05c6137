#pragma once

#include "file.h"

#include <cstdint>
#include <cstring>
#include <vector>

// A File in front of another that gathers the chunk reader's many small reads (8-byte
// headers) into few large reads of one window of the file. A read at least as large as
// the window goes straight through, in pieces of at most 256 KiB. Read only: a write
// transfers nothing. The file must not change beneath it.
class BufferedFile final : public File {
public:
    static constexpr std::uint32_t WINDOW = 1u << 20;

    explicit BufferedFile(File& file, std::uint32_t window = WINDOW);

    std::uint32_t size() override { return end; }
    void seek(std::uint32_t pos) override { position = pos < end ? pos : end; }
    std::uint32_t tell() override { return position; }
    // Inline for what the window holds: the chunk reader's headers, most of the time.
    std::uint32_t read(void* buffer, std::uint32_t count) override {
        if (position < windowStart || std::uint64_t(position - windowStart) + count > windowFill)
            return readBeyondWindow(buffer, count);
        std::memcpy(buffer, window.data() + (position - windowStart), count);
        position += count;
        return count;
    }
    std::uint32_t write(const void*, std::uint32_t) override { return 0; }

private:
    std::uint32_t readBeyondWindow(void* buffer, std::uint32_t count);
    // Reads at `offset` straight from the file.
    std::uint32_t readThrough(void* buffer, std::uint32_t count, std::uint32_t offset);

    File& file;
    const std::uint32_t capacity;
    std::vector<std::uint8_t> window;
    std::uint32_t windowStart = 0; // the file offset of window[0]
    std::uint32_t windowFill = 0;  // how many bytes of the window hold the file's content
    std::uint32_t position = 0;
    const std::uint32_t end;
};
