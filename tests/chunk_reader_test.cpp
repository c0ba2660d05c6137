#include "chunk_reader.h"
#include "file.h"
#include "test_support.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

class ChunkReaderTest : public ::testing::Test {
protected:
    ChunkReader& open(const Bytes& content) {
        writeFile(path, content);
        file = std::make_unique<PhysicalFile>(OPEN_READ, path);
        reader = std::make_unique<ChunkReader>(*file);
        return *reader;
    }

    // Walks the whole stream, reading every data body, so that each check the reader
    // makes gets its chance.
    void walkAll(ChunkReader& r) {
        while (r.depth >= 0) {
            if (r.nextChunk() != -1 && r.currentSize >= 0) {
                Bytes body(static_cast<std::size_t>(r.currentSize));
                r.readData(body.data(), r.currentSize);
            }
        }
    }

    TempDir dir;
    std::wstring path = dir.file(L"map.ted");
    std::unique_ptr<PhysicalFile> file;
    std::unique_ptr<ChunkReader> reader;
};

TEST_F(ChunkReaderTest, EmptyFileHasNoChunks) {
    ChunkReader& r = open({});
    EXPECT_EQ(r.nextChunk(), -1);
    EXPECT_EQ(r.depth, -1);
}

TEST_F(ChunkReaderTest, WalksNestedChunksInOrder) {
    ChunkReader& r =
        open(concat({chunk(1, text("ab")), container(2, {chunk(3, text("xyz"))}), chunk(4, {})}));
    EXPECT_EQ(r.nextChunk(), 1);
    EXPECT_EQ(r.currentSize, 2);
    EXPECT_EQ(r.depth, 1);
    EXPECT_EQ(r.nextChunk(), 2);
    EXPECT_EQ(r.currentSize, -1);
    EXPECT_EQ(r.nextChunk(), 3);
    EXPECT_EQ(r.depth, 2);
    char body[3];
    r.readData(body, 3);
    EXPECT_EQ(std::string(body, 3), "xyz");
    EXPECT_EQ(r.nextChunk(), -1); // closes container 2
    EXPECT_EQ(r.depth, 0);
    EXPECT_EQ(r.nextChunk(), 4);
    EXPECT_EQ(r.currentSize, 0);
    r.readData(body, 0);
    EXPECT_EQ(r.nextChunk(), -1);
    EXPECT_EQ(r.depth, -1);
}

TEST_F(ChunkReaderTest, EmptyContainerClosesAtOnce) {
    ChunkReader& r = open(concat({rawHeader(9, 0x80000000u), chunk(1, text("a"))}));
    EXPECT_EQ(r.nextChunk(), 9);
    EXPECT_EQ(r.currentSize, -1);
    EXPECT_EQ(r.nextChunk(), -1);
    EXPECT_EQ(r.nextChunk(), 1);
}

TEST_F(ChunkReaderTest, PartlyReadBodyIsSkipped) {
    ChunkReader& r = open(concat({chunk(1, text("abcdef")), chunk(2, text("g"))}));
    EXPECT_EQ(r.nextChunk(), 1);
    char buffer[2];
    r.readData(buffer, 2);
    EXPECT_EQ(r.consumed, 2);
    r.readData(buffer, 2);
    EXPECT_EQ(std::string(buffer, 2), "cd");
    EXPECT_EQ(r.nextChunk(), 2);
    r.readData(buffer, 1);
    EXPECT_EQ(buffer[0], 'g');
}

TEST_F(ChunkReaderTest, ReadingPastTheBodyDeliversTheRestThenFails) {
    ChunkReader& r = open(concat({chunk(1, text("abc")), chunk(2, text("zzzz"))}));
    r.nextChunk();
    char buffer[8] = {};
    EXPECT_THROW(r.readData(buffer, 5), ReadException);
    EXPECT_EQ(std::string(buffer, 3), "abc");
    EXPECT_EQ(buffer[3], 0) << "a read never passes the end of the body";
}

TEST_F(ChunkReaderTest, ReadDataOnAContainerFails) {
    ChunkReader& r = open(container(2, {chunk(3, text("x"))}));
    r.nextChunk();
    char buffer[1];
    EXPECT_THROW(r.readData(buffer, 1), ReadException);
}

// Streams that are not well-formed, each of which must stop the walk with ReadException.
struct Malformed {
    const char* name;
    Bytes content;
};

class ChunkReaderRejectsTest : public ChunkReaderTest,
                               public ::testing::WithParamInterface<Malformed> {};

TEST_P(ChunkReaderRejectsTest, WithReadException) {
    ChunkReader& r = open(GetParam().content);
    try {
        walkAll(r);
        FAIL() << "no exception";
    } catch (const ReadException& e) {
        EXPECT_EQ(e.message, L"Unable to read file");
    }
    EXPECT_LT(r.depth, MAX_CHUNK_DEPTH);
}

Bytes nested(int levels) {
    Bytes inner = chunk(7, text("x"));
    for (int i = 1; i < levels; ++i)
        inner = container(5, {inner});
    return inner;
}

INSTANTIATE_TEST_SUITE_P(
    MalformedStreams, ChunkReaderRejectsTest,
    ::testing::Values(
        Malformed{"StrayBytesAtEndOfFile", concat({chunk(1, text("ab")), bytes({1, 2, 3})})},
        Malformed{"SevenBytesOfHeader", bytes({1, 0, 0, 0, 4, 0, 0})},
        Malformed{"BodyLongerThanFile", concat({rawHeader(1, 100), text("short")})},
        Malformed{"HugeDeclaredLength", concat({rawHeader(1, 0x7FFFFFFFu), text("x")})},
        Malformed{"ChildReachesPastContainer",
                  concat({rawHeader(2, 0x80000000u | 9), chunk(3, text("ab")), chunk(4, {})})},
        Malformed{"StrayBytesAfterLastChild",
                  concat({rawHeader(2, 0x80000000u | 12), chunk(3, text("ab")), text("zz"),
                          chunk(4, {})})},
        Malformed{"ReservedType", chunk(0xFFFFFFFFu, text("a"))},
        Malformed{"ReservedTypeInsideContainer", container(2, {chunk(0xFFFFFFFFu, {})})},
        Malformed{"TooDeep", nested(256)}),
    [](const ::testing::TestParamInfo<Malformed>& info) { return info.param.name; });

TEST_F(ChunkReaderTest, DeepestNestingTheTableHoldsLoads) {
    ChunkReader& r = open(nested(255));
    walkAll(r);
    EXPECT_EQ(r.depth, -1);
}

} // namespace
