#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A second, deliberately plain reading of the chunk stream format (recursive, on bytes
// in memory) that the fuzz targets hold the real reader and writer against.
struct ReferenceChunk {
    std::uint32_t type;
    std::size_t offset; // of the header
    std::size_t length; // header and body
    bool container;
};

struct ReferenceParse {
    bool wellFormed = false;
    std::vector<ReferenceChunk> topLevel;
    // The stream as a load and rewrite gives it back: each empty container's size field
    // becomes an empty data chunk's.
    std::vector<std::uint8_t> normalized;
};

// The chunks packed from `begin` to `end` at `depth` (the top level is 1; 255 at most).
inline bool parseLevel(ReferenceParse& result, const std::uint8_t* data, std::size_t begin,
                       std::size_t end, int depth) {
    const auto le32 = [&](std::size_t at) {
        return std::uint32_t(data[at]) | std::uint32_t(data[at + 1]) << 8 |
               std::uint32_t(data[at + 2]) << 16 | std::uint32_t(data[at + 3]) << 24;
    };
    for (std::size_t position = begin; position != end;) {
        if (end - position < 8 || depth > 255)
            return false;
        const std::uint32_t type = le32(position), sizeField = le32(position + 4);
        const std::size_t length = sizeField & 0x7FFFFFFFu;
        const bool container = (sizeField & 0x80000000u) != 0;
        if (type == 0xFFFFFFFFu || length > end - position - 8)
            return false;
        if (depth == 1)
            result.topLevel.push_back({type, position, 8 + length, container});
        if (container && length == 0)
            result.normalized[position + 7] = 0;
        if (container && !parseLevel(result, data, position + 8, position + 8 + length, depth + 1))
            return false;
        position += 8 + length;
    }
    return true;
}

inline ReferenceParse parseReference(const std::uint8_t* data, std::size_t size) {
    ReferenceParse result;
    result.normalized.assign(data, data + size);
    result.wellFormed = parseLevel(result, data, 0, size, 1);
    return result;
}

// The top-level chunk that an extraction takes: the first of type 19, if it holds data.
inline const ReferenceChunk* referencePreview(const ReferenceParse& parse) {
    for (const ReferenceChunk& chunk : parse.topLevel) {
        if (chunk.type == 19)
            return chunk.container ? nullptr : &chunk;
    }
    return nullptr;
}
