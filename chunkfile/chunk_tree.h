#pragma once

#include "buffered_file.h"
#include "chunk_node.h"

#include <cstdint>
#include <memory>
#include <string>

// A whole chunk file in memory. Its nodes, child arrays and bodies come from blocks of up
// to 1 MiB (a large body has memory of its own) that all go at once with the tree; why
// an arena rather than nodes that own their subtrees: docs/architecture.md.
class ChunkTree {
public:
    ~ChunkTree();
    ChunkTree(ChunkTree&&) noexcept;
    ChunkTree& operator=(ChunkTree&&) noexcept;

    ChunkNode& root() { return *rootNode; }
    const ChunkNode& root() const { return *rootNode; }

    // Puts a new data chunk of `type` before child `position` of `parent` (a container of
    // this tree), with a body of `size` bytes for the caller to fill.
    ChunkNode& insertData(ChunkNode& parent, std::size_t position, std::uint32_t type,
                          std::uint32_t size);
    // Gives `node`, a data chunk of this tree, a new body of `size` bytes to fill.
    void renewBody(ChunkNode& node, std::uint32_t size);

    struct Memory;

private:
    friend class ChunkTreeLoader;
    ChunkTree();
    std::unique_ptr<Memory> memory;
    ChunkNode* rootNode;
};

// Loads a whole chunk stream from `file` (on disk or in memory) through a BufferedFile
// with the given window. Throws notEnoughMemory's wruntime_error as soon as the tree would
// take more memory than `memoryBudget` bytes.
ChunkTree loadChunkTree(File& file, std::uint64_t memoryBudget,
                        std::uint32_t window = BufferedFile::WINDOW);

// Loads the whole chunk stream of `file`, an open file on disk. Refuses a file larger than
// a 32-bit size can describe with ReadException rather than reading only part of it. The
// tree may take as much memory as the machine has available, so that a map of millions
// of chunks ends with a message rather than exhausting the machine.
ChunkTree loadChunkFile(PhysicalFile& file);

// Writes a whole tree into an empty file through a BufferedFile with the given window.
// Throws WriteException when the file does not take all of it.
void writeChunkTree(const ChunkNode& root, File& file, std::uint32_t window = BufferedFile::WINDOW);
