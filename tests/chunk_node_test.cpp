#include "chunk_node.h"
#include "file.h"
#include "test_support.h"
#include "wexception.h"

#include <gtest/gtest.h>

namespace {

class ChunkNodeTest : public ::testing::Test {
protected:
    std::unique_ptr<ChunkNode> load(const Bytes& content) {
        writeFile(path, content);
        PhysicalFile file(OPEN_READ, path);
        return loadChunkTree(file);
    }
    Bytes rewrite(const ChunkNode& root) {
        PhysicalFile file(OPEN_WRITE, out);
        writeChunkTree(root, file);
        return readFile(out);
    }

    TempDir dir;
    std::wstring path = dir.file(L"map.ted");
    std::wstring out = dir.file(L"copy.ted");
};

TEST_F(ChunkNodeTest, EmptyFileIsARootWithoutChildren) {
    auto root = load({});
    EXPECT_TRUE(root->isContainer());
    EXPECT_TRUE(root->children.empty());
    EXPECT_TRUE(rewrite(*root).empty());
}

TEST_F(ChunkNodeTest, KeepsTypesOrderAndData) {
    auto root =
        load(concat({chunk(1, text("ab")), container(2, {chunk(3, text("xyz"))}), chunk(19, {})}));
    ASSERT_EQ(root->children.size(), 3u);
    auto it = root->children.begin();
    EXPECT_EQ(it->type, 1u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(it->child->data.get()), it->child->size), "ab");
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
    auto root = load(map);
    EXPECT_EQ(rewrite(*root), map);
}

TEST_F(ChunkNodeTest, EmptyContainerComesBackAsEmptyDataChunk) {
    auto root =
        load(concat({rawHeader(8, 0x80000000u), container(2, {rawHeader(9, 0x80000000u)})}));
    EXPECT_EQ(rewrite(*root), concat({chunk(8, {}), container(2, {chunk(9, {})})}));
}

TEST_F(ChunkNodeTest, EditedTreeGetsRecomputedLengths) {
    auto root = load(container(1, {container(2, {chunk(3, text("abc")), chunk(4, text("d"))})}));
    auto& inner = root->children.front().child->children.front().child->children;
    inner.pop_front();
    EXPECT_EQ(rewrite(*root), container(1, {container(2, {chunk(4, text("d"))})}));
}

TEST_F(ChunkNodeTest, TruncatedLastBodyFailsToLoad) {
    EXPECT_THROW(load(concat({chunk(1, text("ok")), rawHeader(2, 10), text("short")})),
                 ReadException);
}

TEST_F(ChunkNodeTest, NestingDepthLimitIsExactlyTheTable) {
    Bytes deep = chunk(7, text("x"));
    for (int i = 1; i < 255; ++i)
        deep = container(5, {deep});
    auto root = load(deep);
    EXPECT_EQ(rewrite(*root), deep);
    EXPECT_THROW(load(container(5, {deep})), ReadException);
}

} // namespace
