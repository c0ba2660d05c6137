#pragma once

#include "chunk_format.h"

#include <cstddef>
#include <cstdint>

// One chunk of a ChunkTree (chunk_tree.h) with its whole subtree: its kind, its children
// in order and its length, but not its body. A data chunk's body is, by default, the range
// of the tree's source file after the chunk's header; a body given in memory (insertData,
// renewBody) is `data`. A container is a chunk read as one; the root stands for the file.
// Nodes, child arrays and bodies in memory belong to the tree.
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

    public:
        // None of a container's chunks were loaded, as they are all to be written as they
        // lie: the writer copies the whole container from the source.
        bool notLoaded = false;
    };

    // Where a chunk that did not come from the source "is" in it.
    static constexpr std::uint32_t NOT_IN_SOURCE = 0xFFFFFFFFu;

    bool isContainer() const { return !data && (sourceField & CONTAINER_FLAG); }
    // The body length the chunk's header gives in the source.
    std::uint32_t lengthInSource() const { return sourceField & LENGTH_MASK; }

    Children children;
    // A data chunk's body in memory, or null when it is in the source.
    std::uint8_t* data = nullptr;
    // A data chunk's body length.
    std::uint32_t size = 0;
    // Where the chunk's header is in the tree's source, and the size field it holds there:
    // a header the writer computes alike is copied from there with its neighbours.
    std::uint32_t source = NOT_IN_SOURCE;
    std::uint32_t sourceField = 0;
    // The body length as written, which the writer works out before it writes.
    mutable std::uint32_t length = 0;
};
