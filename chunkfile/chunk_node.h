#pragma once

#include "chunk_writer.h"

#include <cstddef>
#include <cstdint>

// One chunk held in memory with its whole subtree. A node with data is a data chunk; a
// node without data is a container (the root stands for the file itself). Nodes, child
// lists and bodies belong to the ChunkTree (chunk_tree.h) they were loaded into.
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
