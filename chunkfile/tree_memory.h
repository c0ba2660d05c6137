#pragma once

#include "chunk_tree.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Hands out the tree's memory from blocks of up to 1 MiB, larger pieces on their own, and
// counts every byte it takes from the system against the budget. All of it comes from
// the system directly (native::allocatePages), faulted in at once.
struct ChunkTree::Memory {
    explicit Memory(std::uint64_t limit);

    // Counts `bytes` more, or refuses them with a message when that passes the budget.
    void take(std::uint64_t bytes);

    // Fresh memory, all of it poisoned until it is handed out.
    std::uint8_t* piece(std::size_t bytes);

    void* allocate(std::size_t bytes, std::size_t alignment);

    std::uint8_t* allocateBody(std::uint32_t size);

    // Gives a piece back to the system.
    struct Release {
        std::size_t bytes;
        void operator()(std::uint8_t* memory) const;
    };

    const std::uint64_t budget;
    std::uint64_t used = 0;
    std::vector<std::unique_ptr<std::uint8_t, Release>> pieces;
    std::uint8_t* next = nullptr;
    std::size_t left = 0;
    std::size_t block; // the size of the next block
};
