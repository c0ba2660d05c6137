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

ReferenceParse parseReference(const std::uint8_t* data, std::size_t size);

// The top-level chunk that an extraction takes: the first of type 19, if it holds data.
const ReferenceChunk* referencePreview(const ReferenceParse& parse);
