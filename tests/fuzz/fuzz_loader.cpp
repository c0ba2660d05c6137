// Any bytes as a map: written back as they were, or ReadException, as a second reading says.
#include "chunk_tree.h"
#include "test_support.h"
#include "wexception.h"

#include <cstdlib>

namespace {

// Whether the chunks from `begin` to `end` at `depth` are well formed; normalizes empty containers.
bool wellFormed(const std::uint8_t* data, std::size_t begin, std::size_t end, int depth,
                Bytes& normalized) {
    const auto le32 = [&](std::size_t at) {
        return std::uint32_t(data[at]) | std::uint32_t(data[at + 1]) << 8 |
               std::uint32_t(data[at + 2]) << 16 | std::uint32_t(data[at + 3]) << 24;
    };
    for (std::size_t position = begin; position != end;) {
        if (end - position < 8 || depth > 255)
            return false;
        const std::uint32_t type = le32(position), sizeField = le32(position + 4);
        const std::size_t length = sizeField & 0x7FFFFFFFu;
        const bool container = (sizeField & 0x80000000u) != 0;
        if (type == 0xFFFFFFFFu || length > end - position - 8)
            return false;
        if (container && length == 0)
            normalized[position + 7] = 0;
        if (container &&
            !wellFormed(data, position + 8, position + 8 + length, depth + 1, normalized))
            return false;
        position += 8 + length;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes normalized(data, data + size);
    const bool expected = wellFormed(data, 0, size, 1, normalized);
    for (const TreeDetail detail : {TreeDetail::Whole, TreeDetail::TopLevel}) {
        MemoryFile in(Bytes(data, data + size)), out;
        try {
            writeChunkTree(loadChunkTree(in, 64u << 20, 64, detail), out, 64);
        } catch (const ReadException&) { // anything else ends the run as a crash
            if (expected)
                std::abort(); // a well-formed stream was refused
            continue;
        }
        if (!expected)
            std::abort(); // a malformed stream was loaded
        if (out.bytes != normalized)
            std::abort(); // the rewritten stream differs from the input
    }
    return 0;
}
