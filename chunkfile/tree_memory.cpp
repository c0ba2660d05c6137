#include "tree_memory.h"
#include "native.h"
#include "wexception.h"

#include <algorithm>
#include <new>

// Under AddressSanitizer the parts of a block not handed out are poisoned, so that it
// reports a use past the end of a node, an array or a body, as it would for pieces of
// their own, while the tree runs the same block code as everywhere else.
#if defined(__SANITIZE_ADDRESS__)
#define TREE_POISONS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TREE_POISONS 1
#endif
#endif
#ifdef TREE_POISONS
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(start, bytes) ((void)(start), (void)(bytes))
#define ASAN_UNPOISON_MEMORY_REGION(start, bytes) ((void)(start), (void)(bytes))
#endif

namespace {

// Blocks grow from the first, which holds all of a small map, to the largest. Larger
// pieces get memory of their own rather than wasting the rest of a block.
constexpr std::size_t FIRST_BLOCK = 128u << 10, BLOCK = 1u << 20;
constexpr std::size_t OWN_PIECE = FIRST_BLOCK;
#ifdef TREE_POISONS
// The sanitizer tells addressable bytes from others in granules of 8, each addressable
// from its start: every piece starts on one, so that the bytes after it can be poisoned.
constexpr std::size_t LEAST_ALIGNMENT = 8;
#else
constexpr std::size_t LEAST_ALIGNMENT = 1;
#endif
// What the system maps at the least; the rest of a piece's last page is poisoned too.
constexpr std::size_t PAGE = 4096;

std::size_t mapped(std::size_t bytes) {
    return (bytes + PAGE - 1) / PAGE * PAGE;
}

// What an empty body points at: it is never read or written, but not null, so that an
// empty data chunk stays a data chunk.
std::uint8_t emptyBody;

} // namespace

void ChunkTree::Memory::Release::operator()(std::uint8_t* memory) const {
    // The pages may come back mapped for anything else.
    ASAN_UNPOISON_MEMORY_REGION(memory, mapped(bytes));
    native::releasePages(memory, bytes);
}

ChunkTree::Memory::Memory(std::uint64_t limit) : budget(limit), block(FIRST_BLOCK) {}

void ChunkTree::Memory::take(std::uint64_t bytes) {
    if (bytes > budget - used)
        throw notEnoughMemory(budget);
    used += bytes;
}

std::uint8_t* ChunkTree::Memory::piece(std::size_t bytes) {
    take(bytes);
    // Room first, so that the memory is owned the moment it is taken.
    if (pieces.size() == pieces.capacity())
        pieces.reserve(2 * pieces.size() + 16);
    auto* memory = static_cast<std::uint8_t*>(native::allocatePages(bytes));
    if (!memory)
        throw std::bad_alloc();
    pieces.emplace_back(memory, Release{bytes});
    ASAN_POISON_MEMORY_REGION(memory, mapped(bytes));
    return memory;
}

void* ChunkTree::Memory::allocate(std::size_t bytes, std::size_t alignment) {
    if (bytes > OWN_PIECE) {
        std::uint8_t* own = piece(bytes);
        ASAN_UNPOISON_MEMORY_REGION(own, bytes);
        return own;
    }
    alignment = std::max(alignment, LEAST_ALIGNMENT);
    // Alignments are powers of two.
    const std::size_t padding = (0 - reinterpret_cast<std::uintptr_t>(next)) & (alignment - 1);
    if (bytes + padding > left) {
        next = piece(block);
        left = block;
        block = std::min(2 * block, BLOCK);
        return allocate(bytes, alignment);
    }
    std::uint8_t* start = next + padding;
    next += padding + bytes;
    left -= padding + bytes;
    ASAN_UNPOISON_MEMORY_REGION(start, bytes);
    return start;
}

std::uint8_t* ChunkTree::Memory::allocateBody(std::uint32_t size) {
    return size == 0 ? &emptyBody : static_cast<std::uint8_t*>(allocate(size, 1));
}
