#pragma once

#include "file.h"

#include <cstdint>
#include <vector>

// Writes a file as a sequence of pieces from its start: bytes in memory (computed headers,
// bodies a command supplied) and ranges of a source file. Ranges that follow each other in
// the source become one copy, so that an unchanged stretch of any number of chunks is one
// large copy (copyBetween); bytes are gathered into writes of up to a window, and bytes as
// many as the window go straight through. A short write or copy throws WriteException, a
// source that no longer holds a range ReadException; finish() writes what is still pending.
class ChunkWriter {
public:
    ChunkWriter(File* source, File& out, std::uint32_t window);

    void bytes(const std::uint8_t* data, std::uint32_t count);
    void range(std::uint32_t offset, std::uint32_t count);
    void finish();

private:
    void writeGathered();
    void copyPending();

    File* const source;
    File& out;
    const std::uint32_t window;
    std::uint32_t written = 0; // what of the output is done
    std::vector<std::uint8_t> gathered;
    std::uint32_t rangeStart = 0, rangeLength = 0; // the range not yet copied
    std::vector<std::uint8_t> buffer;
};
