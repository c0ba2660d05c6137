// Arbitrary bytes as a map file. Either the tree loads, and writing it gives back the
// input (every empty container as an empty data chunk), which loads and writes again to
// the same bytes, or loading fails with ReadException alone. The real PhysicalFile reads and
// writes, through a buffer window so small that reads and writes keep crossing its edges.
#include "chunk_node.h"
#include "file.h"
#include "fuzz_support.h"
#include "reference_parse.h"
#include "utf8.h"
#include "wexception.h"

#include <exception>
#include <memory>
#include <optional>

namespace {

constexpr std::uint32_t WINDOW = 64;

ChunkTree load(const std::wstring& path) {
    PhysicalFile file(OPEN_READ, path);
    return loadChunkTree(file, 64u << 20, WINDOW);
}

Bytes write(const ChunkNode& root, const std::wstring& path) {
    {
        PhysicalFile file(OPEN_WRITE, path);
        writeChunkTree(root, file, WINDOW);
    }
    return readFile(path);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TempDir scratch(ramFolder());
    static const std::wstring input = scratch.file(L"input.ted");
    static const std::wstring output = scratch.file(L"output.ted");
    writeFile(input, Bytes(data, data + size));
    const ReferenceParse expected = parseReference(data, size);

    std::optional<ChunkTree> tree;
    try {
        tree.emplace(load(input));
    } catch (const ReadException& e) {
        if (expected.wellFormed)
            fail("a well-formed stream was refused");
        if (e.message != L"Unable to read file")
            fail("wrong message: " + toUtf8(e.message));
        return 0;
    } catch (const wexception& e) {
        fail("loading threw something other than ReadException: " + toUtf8(e.message));
    } catch (const std::exception& e) {
        fail(std::string("loading threw a standard exception: ") + e.what());
    }
    if (!expected.wellFormed)
        fail("a malformed stream was loaded");

    const Bytes written = write(tree->root(), output);
    if (written != expected.normalized)
        fail("the rewritten stream differs from the input");
    if (write(load(output).root(), output) != written)
        fail("a second rewrite changed the stream");
    return 0;
}
