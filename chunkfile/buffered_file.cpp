#include "buffered_file.h"

#include <algorithm>
#include <cstring>

namespace {

// Large reads go to the file in pieces, as large transfers were measured to do best.
constexpr std::uint32_t PIECE = 256u << 10;
constexpr std::uint32_t PAGE = 4096;

} // namespace

BufferedFile::BufferedFile(File& f, std::uint32_t window)
    : file(f), capacity(window), end(f.size()) {}

std::uint32_t BufferedFile::readThrough(void* buffer, std::uint32_t count, std::uint32_t offset) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    std::uint32_t done = 0;
    while (done < count) {
        const std::uint32_t piece = std::min(PIECE, count - done);
        file.seek(offset + done);
        const std::uint32_t moved = file.read(bytes + done, piece);
        done += moved;
        if (moved != piece)
            break;
    }
    return done;
}

std::uint32_t BufferedFile::readBeyondWindow(void* buffer, std::uint32_t count) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    count = std::min(count, end - position);
    std::uint32_t done = 0;
    while (done < count) {
        const std::uint32_t windowEnd = windowStart + windowFill;
        if (position >= windowStart && position < windowEnd) {
            const std::uint32_t n = std::min(count - done, windowEnd - position);
            std::memcpy(bytes + done, window.data() + (position - windowStart), n);
            done += n;
            position += n;
            continue;
        }
        if (count - done >= capacity) {
            const std::uint32_t n = readThrough(bytes + done, count - done, position);
            done += n;
            position += n;
            break;
        }
        // Past a skip longer than the window (a large body) a page will do: what is read
        // there is most likely a header before the next skip.
        const bool skipped = position > std::uint64_t(windowStart) + windowFill + capacity;
        const std::uint32_t fill =
            std::min(skipped ? std::min(PAGE, capacity) : capacity, end - position);
        if (fill > window.size()) // grown as it is used: a small file never costs a whole window
            window.resize(
                std::min(capacity, std::max(fill, 2 * static_cast<std::uint32_t>(window.size()))));
        windowStart = position;
        windowFill = readThrough(window.data(), fill, position);
        if (windowFill == 0)
            break;
    }
    return done;
}
