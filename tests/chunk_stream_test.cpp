// The chunk stream's reader, writer and tree, on real files.
#include "chunk_tree.h"
#include "test_support.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <new>

namespace {

class ChunkStreamTest : public ::testing::Test {
protected:
    const std::wstring& place(const Bytes& content) {
        writeFile(map, content);
        return map;
    }
    Bytes rewrite(const ChunkNode& root) {
        {
            PhysicalFile file(OPEN_WRITE, out);
            writeChunkTree(root, file);
        }
        return readFile(out);
    }

    TempDir dir;
    const std::wstring map = dir.file(L"map.ted"), out = dir.file(L"copy.ted");
};

Bytes nested(int levels) {
    Bytes inner = chunk(7, text("x"));
    for (int i = 1; i < levels; ++i)
        inner = container(5, {inner});
    return inner;
}

// What the reader cannot account for byte by byte is refused; no tree is built from it.
TEST_F(ChunkStreamTest, RefusesWhatItCannotAccountFor) {
    const Bytes malformed[] = {
        concat({chunk(1, text("ab")), text("xyz")}),    // stray bytes at the end
        concat({le32(1), Bytes{4, 0, 0}}),              // seven bytes of header
        concat({rawHeader(1, 100), text("short")}),     // body past the end
        concat({rawHeader(1, 0x7FFFFFFFu), text("x")}), // largest length
        concat({rawHeader(2, 0x80000009u), chunk(3, text("ab")), chunk(4, {})}), // child past it
        concat({rawHeader(2, 0x8000000Cu), chunk(3, text("ab")), text("zz"), chunk(4, {})}),
        chunk(0xFFFFFFFFu, text("a")),          // the reserved type
        container(2, {chunk(0xFFFFFFFFu, {})}), // ... inside a container
        nested(256),                            // deeper than the table
    };
    for (const Bytes& content : malformed) {
        try {
            loadChunkFile(place(content));
            ADD_FAILURE() << "loaded a malformed stream of " << content.size() << " bytes";
        } catch (const ReadException& e) {
            EXPECT_EQ(e.message, L"Unable to read file");
        }
    }
    // Past 4 GiB a 32-bit size sees only part of the file (here an empty chunk).
    std::filesystem::resize_file(nativePath(place({})), (1ull << 32) + 8);
    EXPECT_THROW(loadChunkFile(map), ReadException);
}

// Loaded and written back, a map is the same bytes, but for each empty container, which
// comes back as an empty data chunk. The deepest nesting the table holds loads too.
TEST_F(ChunkStreamTest, RewriteGivesBackEveryByte) {
    const Bytes kept = concat({chunk(0xDEADBEEF, text("header")),
                               container(2, {chunk(3, text("xyz")), container(4, {chunk(5, {})}),
                                             chunk(6, Bytes(3000, 0xAB))}),
                               nested(255)});
    ChunkTree tree = loadChunkFile(place(
        concat({kept, rawHeader(8, 0x80000000u), container(9, {rawHeader(10, 0x80000000u)})})));
    EXPECT_EQ(rewrite(tree.root()), concat({kept, chunk(8, {}), container(9, {chunk(10, {})})}));
    EXPECT_TRUE(rewrite(loadChunkFile(place({})).root()).empty());
}

// No end without a begin, no nesting past the table, no header the file does not take.
TEST_F(ChunkStreamTest, WriterKeepsToItsTable) {
    PhysicalFile file(OPEN_WRITE, out);
    ChunkWriter writer(file);
    EXPECT_THROW(writer.endChunk(), WriteException);
    for (int i = 0; i < MAX_CHUNK_DEPTH; ++i)
        writer.beginChunk(1);
    EXPECT_THROW(writer.beginChunk(1), WriteException);
    FillingFile full(file, 4);
    EXPECT_THROW(ChunkWriter(full).beginChunk(1), WriteException);
}

// Millions of empty chunks: loading stops with the standard allocation failure as soon
// as the tree would take more memory than it may.
TEST_F(ChunkStreamTest, LoadingStopsAtTheMemoryBudget) {
    place({});
    std::filesystem::resize_file(nativePath(map), 64u << 20); // 8 million empty chunks
    PhysicalFile file(OPEN_READ, map);
    EXPECT_THROW(loadChunkTree(file, 16u << 20), std::bad_alloc);
}

} // namespace
