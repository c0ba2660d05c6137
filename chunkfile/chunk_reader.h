#pragma once

#include "buffered_file.h"
#include "chunk_format.h"

#include <cstdint>

// Walks a chunk stream level by level without recursion or allocation, from the file's
// first top-level chunk; begin() starts over.
struct ChunkReader {
    explicit ChunkReader(BufferedFile& f) : file(f) { begin(); }

    // The file level acts as a container whose children are the top-level chunks.
    void begin();

    // Enters the next chunk of the current level and returns its type, or returns -1
    // and closes the level when it has no further chunk. Throws ReadException for a
    // header that is truncated, reaches past its container, has the reserved type, or
    // would nest deeper than the table holds, and for stray bytes after a last child.
    std::int32_t nextChunk();

    BufferedFile& file; // its own calls, not a File's, on the path of every header
    // Body length of the current data chunk; -1 for a container or no open chunk.
    std::int32_t currentSize = -1;
    std::uint32_t ends[MAX_CHUNK_DEPTH] = {};
    std::int32_t depth = 0;
};
