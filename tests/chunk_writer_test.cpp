#include "chunk_writer.h"
#include "file.h"
#include "test_support.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class ChunkWriterTest : public ::testing::Test {
protected:
    ChunkWriter& open() {
        file = std::make_unique<PhysicalFile>(OPEN_WRITE, path);
        writer = std::make_unique<ChunkWriter>(*file);
        return *writer;
    }
    Bytes written() {
        writer.reset();
        file.reset();
        return readFile(path);
    }

    TempDir dir;
    std::wstring path = dir.file(L"out.ted");
    std::unique_ptr<PhysicalFile> file;
    std::unique_ptr<ChunkWriter> writer;
};

TEST_F(ChunkWriterTest, PatchesHeadersOfNestedChunks) {
    ChunkWriter& w = open();
    w.beginChunk(5);
    w.beginChunk(7);
    EXPECT_EQ(w.file.write("abc", 3), 3u);
    w.endChunk();
    w.endChunk();
    EXPECT_EQ(w.depth, -1);
    EXPECT_EQ(written(), bytes({0x05, 0, 0, 0, 0x0B, 0, 0, 0x80, 0x07, 0, 0, 0, 0x03, 0, 0, 0, 'a',
                                'b', 'c'}));
}

TEST_F(ChunkWriterTest, ChunkWithoutContentIsAnEmptyDataChunk) {
    ChunkWriter& w = open();
    w.beginChunk(5);
    w.endChunk();
    EXPECT_EQ(written(), bytes({5, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(ChunkWriterTest, SiblingsFollowEachOther) {
    ChunkWriter& w = open();
    w.beginChunk(0x01020304);
    w.file.write("x", 1);
    w.endChunk();
    w.beginChunk(2);
    w.beginChunk(3);
    w.endChunk();
    w.beginChunk(4);
    w.file.write("yz", 2);
    w.endChunk();
    w.endChunk();
    EXPECT_EQ(written(), concat({chunk(0x01020304, text("x")),
                                 container(2, {chunk(3, {}), chunk(4, text("yz"))})}));
}

TEST_F(ChunkWriterTest, RefusesToNestBeyondItsTable) {
    ChunkWriter& w = open();
    for (int i = 0; i < MAX_CHUNK_DEPTH; ++i)
        w.beginChunk(1);
    EXPECT_THROW(w.beginChunk(1), WriteException);
    EXPECT_EQ(w.depth, MAX_CHUNK_DEPTH - 1);
}

TEST_F(ChunkWriterTest, EndWithoutOpenChunkThrows) {
    ChunkWriter& w = open();
    EXPECT_THROW(w.endChunk(), WriteException);
}

TEST_F(ChunkWriterTest, ShortPlaceholderWriteThrows) {
    open();
    FillingFile full(*file, 4);
    ChunkWriter w(full);
    EXPECT_THROW(w.beginChunk(1), WriteException);
}

TEST_F(ChunkWriterTest, ShortHeaderPatchThrows) {
    open();
    FillingFile full(*file, 8 + 3 + 5);
    ChunkWriter w(full);
    w.beginChunk(1);
    EXPECT_EQ(w.file.write("abc", 3), 3u);
    EXPECT_THROW(w.endChunk(), WriteException);
}

} // namespace
