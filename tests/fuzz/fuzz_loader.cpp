// Arbitrary bytes as a map file in memory. Either the tree loads, and writing it gives back
// the input (every empty container as an empty data chunk), which loads and writes again
// to the same bytes, or loading fails with ReadException alone. A buffer window so small
// that reads and writes keep crossing its edges.
#include "chunk_tree.h"
#include "fuzz_support.h"
#include "reference_parse.h"
#include "wexception.h"

#include <optional>

namespace {

constexpr std::uint32_t WINDOW = 64;

ChunkTree load(const Bytes& bytes) {
    MemoryFile file(bytes);
    return loadChunkTree(file, 64u << 20, WINDOW);
}

Bytes write(const ChunkNode& root) {
    MemoryFile file;
    writeChunkTree(root, file, WINDOW);
    return file.bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const ReferenceParse expected = parseReference(data, size);
    std::optional<ChunkTree> tree;
    try {
        tree.emplace(load(Bytes(data, data + size)));
    } catch (const ReadException&) { // anything else ends the run as a crash
        if (expected.wellFormed)
            fail("a well-formed stream was refused");
        return 0;
    }
    if (!expected.wellFormed)
        fail("a malformed stream was loaded");

    const Bytes written = write(tree->root());
    if (written != expected.normalized)
        fail("the rewritten stream differs from the input");
    if (write(load(written).root()) != written)
        fail("a second rewrite changed the stream");
    return 0;
}
