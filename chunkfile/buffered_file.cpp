#include "buffered_file.h"

#include <algorithm>
#include <cstring>

namespace {

// Large transfers go to the file in pieces. Where it was measured, writes of 512 KiB and
// more from a large body took from one to eight times as long, at random; pieces of
// 256 KiB and less did not.
constexpr std::uint32_t PIECE = 256u << 10;
constexpr std::uint32_t PAGE = 4096;

} // namespace

BufferedFile::BufferedFile(File& f, std::uint32_t window)
    : file(f), capacity(window), end(f.size()) {}

void BufferedFile::makeRoom(std::uint64_t bytes) {
    if (bytes > window.size())
        window.resize(
            std::min<std::uint64_t>(capacity, std::max<std::uint64_t>(bytes, 2 * window.size())));
}

std::uint32_t BufferedFile::size() {
    return end;
}

void BufferedFile::seek(std::uint32_t pos) {
    position = pos < end ? pos : end;
}

std::uint32_t BufferedFile::tell() {
    return position;
}

namespace {

// Moves `count` bytes at `offset` in pieces: transfer(done, piece) moves one and returns
// how much it moved. Stops at the first piece that falls short.
template <typename Transfer>
std::uint32_t inPieces(File& file, std::uint32_t count, std::uint32_t offset, Transfer transfer) {
    std::uint32_t done = 0;
    while (done < count) {
        const std::uint32_t piece = std::min(PIECE, count - done);
        file.seek(offset + done);
        const std::uint32_t moved = transfer(done, piece);
        done += moved;
        if (moved != piece)
            break;
    }
    return done;
}

} // namespace

std::uint32_t BufferedFile::readThrough(void* buffer, std::uint32_t count, std::uint32_t offset) {
    auto* bytes = static_cast<std::uint8_t*>(buffer);
    return inPieces(file, count, offset, [&](std::uint32_t done, std::uint32_t piece) {
        return file.read(bytes + done, piece);
    });
}

std::uint32_t BufferedFile::writeThrough(const void* buffer, std::uint32_t count,
                                         std::uint32_t offset) {
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const std::uint32_t done =
        inPieces(file, count, offset, [&](std::uint32_t written, std::uint32_t piece) {
            return file.write(bytes + written, piece);
        });
    if (done != count)
        writeFailed = true;
    return done;
}

std::uint32_t BufferedFile::read(void* buffer, std::uint32_t count) {
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
        if (!flush())
            break;
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
        makeRoom(fill);
        windowStart = position;
        windowFill = readThrough(window.data(), fill, position);
        if (windowFill == 0)
            break;
    }
    return done;
}

std::uint32_t BufferedFile::write(const void* buffer, std::uint32_t count) {
    const std::uint64_t stop = std::uint64_t(position) + count;
    std::uint32_t done = 0;
    if (windowWritten && position >= windowStart && position <= windowStart + windowFill &&
        stop <= std::uint64_t(windowStart) + capacity) {
        makeRoom(stop - windowStart);
        std::memcpy(window.data() + (position - windowStart), buffer, count);
        windowFill = std::max(windowFill, static_cast<std::uint32_t>(stop - windowStart));
        done = count;
    } else if (windowWritten && stop <= windowStart) {
        done = writeThrough(buffer, count, position);
    } else if (!flush()) {
        return 0;
    } else if (count >= capacity) {
        windowFill = 0;
        done = writeThrough(buffer, count, position);
    } else {
        makeRoom(count);
        windowStart = position;
        windowFill = count;
        windowWritten = true;
        std::memcpy(window.data(), buffer, count);
        done = count;
    }
    position += done;
    end = std::max(end, position);
    return done;
}

bool BufferedFile::flush() {
    if (windowWritten) {
        windowWritten = false;
        if (writeThrough(window.data(), windowFill, windowStart) != windowFill)
            windowFill = 0;
    }
    return !writeFailed;
}
