#pragma once

#include "chunk_format.h"
#include "file.h"

#include <cstdint>

// Writes chunks whose lengths are not known in advance: beginChunk() writes a
// placeholder header, endChunk() goes back and writes the real one. Body bytes of a
// data chunk go straight to `file` in between. Short header writes throw WriteException.
// The caller nests no deeper than the table and ends only what it began, as
// ChunkNode::write does for any loaded tree (the reader nests no deeper either).
struct ChunkWriter {
    explicit ChunkWriter(File& f) : file(f) {}

    void beginChunk(std::uint32_t type);
    void endChunk();

    struct Entry {
        std::uint32_t type;
        std::uint32_t sizeField;
        std::uint32_t headerOffset;
    };

    File& file;
    Entry entries[MAX_CHUNK_DEPTH] = {};
    std::int32_t depth = -1;
};
