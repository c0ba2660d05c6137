#include "chunk_node.h"
#include "file.h"
#include "test_support.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <optional>

namespace {

class ChunkNodeTest : public ::testing::Test {
protected:
    ChunkNode& load(const Bytes& content) {
        writeFile(path, content);
        tree.emplace(loadChunkFile(path));
        return tree->root();
    }
    Bytes rewrite(const ChunkNode& root) {
        PhysicalFile file(OPEN_WRITE, out);
        writeChunkTree(root, file);
        return readFile(out);
    }

    TempDir dir;
    std::wstring path = dir.file(L"map.ted");
    std::wstring out = dir.file(L"copy.ted");
    std::optional<ChunkTree> tree;
};

TEST_F(ChunkNodeTest, EmptyFileIsARootWithoutChildren) {
    ChunkNode& root = load({});
    EXPECT_TRUE(root.isContainer());
    EXPECT_TRUE(root.children.empty());
    EXPECT_TRUE(rewrite(root).empty());
}

TEST_F(ChunkNodeTest, KeepsTypesOrderAndData) {
    ChunkNode& root =
        load(concat({chunk(1, text("ab")), container(2, {chunk(3, text("xyz"))}), chunk(19, {})}));
    ASSERT_EQ(root.children.size(), 3u);
    auto it = root.children.begin();
    EXPECT_EQ(it->type, 1u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(it->child->data), it->child->size), "ab");
    ++it;
    EXPECT_EQ(it->type, 2u);
    EXPECT_TRUE(it->child->isContainer());
    ASSERT_EQ(it->child->children.size(), 1u);
    EXPECT_EQ(it->child->children.front().type, 3u);
    ++it;
    EXPECT_EQ(it->type, 19u);
    EXPECT_FALSE(it->child->isContainer()) << "an empty body is still a data chunk";
    EXPECT_EQ(it->child->size, 0u);
}

TEST_F(ChunkNodeTest, RewriteIsByteIdentical) {
    const Bytes map = concat({chunk(0xDEADBEEF, text("header")),
                              container(2, {chunk(3, text("xyz")), container(4, {chunk(5, {})}),
                                            chunk(6, Bytes(1000, 0xAB))}),
                              chunk(19, text("TRUEVISION-XFILE"))});
    ChunkNode& root = load(map);
    EXPECT_EQ(rewrite(root), map);
}

TEST_F(ChunkNodeTest, EmptyContainerComesBackAsEmptyDataChunk) {
    ChunkNode& root =
        load(concat({rawHeader(8, 0x80000000u), container(2, {rawHeader(9, 0x80000000u)})}));
    EXPECT_EQ(rewrite(root), concat({chunk(8, {}), container(2, {chunk(9, {})})}));
}

TEST_F(ChunkNodeTest, EditedTreeGetsRecomputedLengths) {
    ChunkNode& root =
        load(container(1, {container(2, {chunk(3, text("abc")), chunk(4, text("d"))})}));
    auto& inner = root.children.front().child->children.front().child->children;
    inner.erase(inner.begin());
    EXPECT_EQ(rewrite(root), container(1, {container(2, {chunk(4, text("d"))})}));
}

TEST_F(ChunkNodeTest, TruncatedLastBodyFailsToLoad) {
    EXPECT_THROW(load(concat({chunk(1, text("ok")), rawHeader(2, 10), text("short")})),
                 ReadException);
}

TEST_F(ChunkNodeTest, NestingDepthLimitIsExactlyTheTable) {
    Bytes deep = chunk(7, text("x"));
    for (int i = 1; i < 255; ++i)
        deep = container(5, {deep});
    ChunkNode& root = load(deep);
    EXPECT_EQ(rewrite(root), deep);
    EXPECT_THROW(load(container(5, {deep})), ReadException);
}

// A map of millions of empty chunks stops loading as soon as the tree would take more
// memory than it may, with the standard allocation failure.
TEST_F(ChunkNodeTest, LoadingStopsAtTheMemoryBudget) {
    writeFile(path, {});
    std::filesystem::resize_file(nativePath(path), 64u << 20); // 8 million empty chunks
    PhysicalFile file(OPEN_READ, path);
    EXPECT_THROW(loadChunkTree(file, 16u << 20), std::bad_alloc);
}

} // namespace
