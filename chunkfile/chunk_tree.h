#pragma once

#include "buffered_file.h"
#include "chunk_node.h"

#include <cstdint>
#include <memory>
#include <string>

// The structure of a whole chunk file: types, kinds, order and lengths of all its chunks.
// Bodies stay in the file the tree was loaded from, its source; only bodies a command
// supplies are held in memory. Nodes, child arrays and those bodies come from blocks of up
// to 1 MiB (a large body has memory of its own) that all go at once with the tree; why an
// arena, and why bodies on disk: docs/architecture.md.
class ChunkTree {
public:
    ~ChunkTree();
    ChunkTree(ChunkTree&&) noexcept;
    ChunkTree& operator=(ChunkTree&&) noexcept;

    ChunkNode& root() { return *rootNode; }
    const ChunkNode& root() const { return *rootNode; }

    // Puts a new data chunk of `type` before child `position` of `parent` (a container of
    // this tree), with a body in memory of `size` bytes for the caller to fill (`data`).
    ChunkNode& insertData(ChunkNode& parent, std::size_t position, std::uint32_t type,
                          std::uint32_t size);
    // Gives `node`, a data chunk of this tree, a new body in memory of `size` bytes to fill.
    void renewBody(ChunkNode& node, std::uint32_t size);

    // Writes the body of `node`, a data chunk of this tree, at `out`'s position.
    // WriteException when `out` does not take all of it, ReadException when the source no
    // longer holds it.
    void copyBody(const ChunkNode& node, File& out) const;
    // Reads the first `count` bytes of the body of data chunk `node` (fewer when the body is
    // shorter); returns how many were read.
    std::uint32_t readBody(const ChunkNode& node, void* buffer, std::uint32_t count) const;

    // Reads the bodies from `copy` from now on: a file with the source's content, made
    // before the source is rewritten in place.
    void readFrom(File& copy) { source = &copy; }

    struct Memory;

private:
    friend class ChunkTreeLoader;
    friend void writeChunkTree(const ChunkTree&, File&, std::uint32_t);
    ChunkTree();
    std::unique_ptr<Memory> memory;
    ChunkNode* rootNode;
    File* source = nullptr;
};

// How much of a file's structure a load keeps. Whole: a node for every chunk. TopLevel: a
// node for every top-level chunk, and below them only what the writer cannot give back as
// it lies: a top-level container without an empty container in it keeps no children
// (ChunkNode::Children::notLoaded) and is written as one range of the source.
enum class TreeDetail { Whole, TopLevel };

// How much of the file loading reads at a time: headers only, with the bodies between
// them skipped. Smaller windows skip more of the bodies of a few KiB between small chunks;
// 16 KiB read a map of 100,000 such chunks in two thirds of the time 64 KiB took.
constexpr std::uint32_t LOAD_WINDOW = 16u << 10;

// Loads the structure of a whole chunk stream from `source` (on disk or in memory) through
// a BufferedFile with the given window, reading headers only. The tree reads its bodies
// from `source`, which must stay open and unchanged until the last write from the tree.
// Throws notEnoughMemory's wruntime_error as soon as the tree would take more memory than
// `memoryBudget` bytes: what the tree holds (about 56 bytes per chunk), whatever the size
// of the bodies.
ChunkTree loadChunkTree(File& source, std::uint64_t memoryBudget,
                        std::uint32_t window = LOAD_WINDOW, TreeDetail detail = TreeDetail::Whole);

// Loads the whole chunk stream of `file`, an open file on disk, which stays the tree's
// source. Refuses a file larger than a 32-bit size can describe with ReadException rather
// than reading only part of it. The tree may take as much memory as the machine has
// available, so that a map of millions of chunks ends with a message rather than
// exhausting the machine.
ChunkTree loadChunkFile(PhysicalFile& file, TreeDetail detail = TreeDetail::Whole);

// Writes a whole tree into an empty file as headers computed from the tree and bodies
// copied from its source (or written from memory); pieces that follow each other in the
// source, headers included, are one copy. Bytes in memory are gathered into writes of up
// to `window`. Throws WriteException when the file does not take all of it, ReadException
// when the source no longer holds a body.
void writeChunkTree(const ChunkTree& tree, File& out, std::uint32_t window = BufferedFile::WINDOW);
