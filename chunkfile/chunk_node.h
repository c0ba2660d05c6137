#pragma once

#include "buffered_file.h"
#include "chunk_reader.h"
#include "chunk_writer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class PhysicalFile;

// One chunk held in memory with its whole subtree. A node with data is a data chunk; a
// node without data is a container (the root stands for the file itself). Nodes, child
// lists and bodies belong to the ChunkTree they were loaded into.
class ChunkNode {
public:
    struct ChildEntry {
        std::uint32_t type;
        ChunkNode* child;
    };

    // The children in file order: an array that entries can be taken out of.
    class Children {
    public:
        ChildEntry* begin() const { return first; }
        ChildEntry* end() const { return first + count; }
        std::size_t size() const { return count; }
        bool empty() const { return count == 0; }
        ChildEntry& front() const { return *first; }
        // Removes the entry; its node stays with the tree until the tree goes.
        void erase(ChildEntry* entry);

    private:
        friend class ChunkTreeLoader;
        friend class ChunkTree;
        ChildEntry* first = nullptr;
        std::uint32_t count = 0;
    };

    // Writes the content (body bytes, or each child with its header). Short writes
    // throw WriteException.
    void write(ChunkWriter& writer) const;

    bool isContainer() const { return !data; }

    Children children;
    std::uint8_t* data = nullptr;
    std::uint32_t size = 0;
};

// A whole chunk file in memory. Its nodes, child lists and small bodies come from large
// blocks that go all at once with the tree; each body is one piece of memory of exactly
// its length.
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

// Loads a whole chunk file through a BufferedFile with the given window. Refuses a file
// larger than a 32-bit size can describe with ReadException rather than reading only part
// of it. Throws std::bad_alloc as soon as the tree would take more memory than
// `memoryBudget` bytes; by default, as much as the machine has available, so that a map
// of millions of chunks ends with a message rather than exhausting the machine.
ChunkTree loadChunkTree(PhysicalFile& file);
ChunkTree loadChunkTree(PhysicalFile& file, std::uint64_t memoryBudget,
                        std::uint32_t window = BufferedFile::WINDOW);

// Opens the file at `path` for reading, loads it whole and closes it again.
ChunkTree loadChunkFile(const std::wstring& path);

// Writes a whole tree into an empty file through a BufferedFile with the given window.
// Throws WriteException when the file does not take all of it.
void writeChunkTree(const ChunkNode& root, File& file, std::uint32_t window = BufferedFile::WINDOW);
