#include "chunk_reader.h"
#include "wexception.h"

namespace {

// Reserved: the reader returns it (as -1) when a level has no further chunk.
constexpr std::uint32_t END_OF_LEVEL = 0xFFFFFFFFu;

std::uint32_t decodeLE32(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

} // namespace

void ChunkReader::begin() {
    ends[0] = file.size();
    depth = 0;
    currentSize = -1;
}

std::int32_t ChunkReader::nextChunk() {
    if (currentSize >= 0) {
        file.seek(ends[depth]);
        --depth;
        currentSize = -1;
    }
    const std::uint32_t position = file.tell();
    const std::uint32_t end = ends[depth];
    if (position == end) {
        --depth;
        currentSize = -1;
        return -1;
    }
    if (depth + 1 >= MAX_CHUNK_DEPTH)
        throw ReadException();

    unsigned char header[CHUNK_HEADER_SIZE];
    if (file.read(header, CHUNK_HEADER_SIZE) != CHUNK_HEADER_SIZE)
        throw ReadException();
    const std::uint32_t type = decodeLE32(header);
    const std::uint32_t sizeField = decodeLE32(header + 4);
    if (type == END_OF_LEVEL)
        throw ReadException();
    // Nothing may reach past the level's end: neither a body nor a header read from stray
    // bytes after a last child.
    const std::uint64_t bodyEnd = std::uint64_t(file.tell()) + (sizeField & LENGTH_MASK);
    if (bodyEnd > end)
        throw ReadException();

    ++depth;
    ends[depth] = static_cast<std::uint32_t>(bodyEnd);
    currentSize = (sizeField & CONTAINER_FLAG) ? -1 : static_cast<std::int32_t>(sizeField);
    return static_cast<std::int32_t>(type);
}
