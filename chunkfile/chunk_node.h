#pragma once

#include "chunk_reader.h"
#include "chunk_writer.h"

#include <cstdint>
#include <list>
#include <memory>

class PhysicalFile;

// One chunk held in memory with its whole subtree. A node with data is a data chunk;
// a node without data is a container (the root stands for the file itself).
class ChunkNode {
public:
    struct ChildEntry {
        std::uint32_t type;
        std::unique_ptr<ChunkNode> child;
    };

    // Builds the node for the reader's current chunk, consuming its subtree; on a fresh
    // reader, the root of the whole file.
    explicit ChunkNode(ChunkReader& reader);

    // Writes the content (body bytes, or each child with its header). Short writes
    // throw WriteException.
    void write(ChunkWriter& writer) const;

    bool isContainer() const { return !data; }

    std::list<ChildEntry> children;
    std::unique_ptr<std::uint8_t[]> data;
    std::uint32_t size = 0;
};

// Loads a whole chunk file. Refuses a file larger than a 32-bit size can describe with
// ReadException rather than reading only part of it.
std::unique_ptr<ChunkNode> loadChunkTree(PhysicalFile& file);

// Writes a whole tree into an empty file.
void writeChunkTree(const ChunkNode& root, File& file);
