// The chunk stream's reader, writer and tree, and the window they work through.
#include "chunk_tree.h"
#include "held_file.h"
#include "native.h"
#include "safe_write.h"
#include "test_support.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <fstream>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

Bytes nested(int levels) {
    Bytes inner = chunk(7, text("x"));
    for (int i = 1; i < levels; ++i)
        inner = container(5, {inner});
    return inner;
}

// What the reader cannot account for byte by byte is refused; no tree is built from it.
TEST(ChunkStreamTest, RefusesWhatItCannotAccountFor) {
    const Bytes malformed[] = {
        concat({chunk(1, text("ab")), text("xyz")}),     // stray bytes at the end
        concat({chunk(1, {}), le32(1), Bytes{0, 0, 0}}), // seven bytes of header
        concat({rawHeader(1, 100), text("short")}),      // body past the end
        concat({rawHeader(1, 0x7FFFFFFFu), text("x")}),  // largest length
        concat({rawHeader(2, 0x80000009u), chunk(3, text("ab")), chunk(4, {})}), // child past it
        concat({rawHeader(2, 0x8000000Cu), chunk(3, text("ab")), text("zz"), chunk(4, {})}),
        chunk(0xFFFFFFFFu, text("a")),          // the reserved type
        container(2, {chunk(0xFFFFFFFFu, {})}), // ... inside a container
        nested(256),                            // deeper than the table
    };
    for (const Bytes& content : malformed) {
        MemoryFile file(content);
        EXPECT_THROW(loadChunkTree(file, 1u << 30), ReadException) << content.size() << " bytes";
    }
    // A file that shrinks beneath the reader: the body its header promised is not there.
    struct Shrunk : MemoryFile {
        using MemoryFile::MemoryFile;
        std::uint32_t size() override { return MemoryFile::size() + 8; }
    } shrunk(rawHeader(1, 8));
    EXPECT_THROW(loadChunkTree(shrunk, 1u << 30), ReadException);
    // 4 GiB - 1 bytes are a map; past 4 GiB a 32-bit size would see only part of the file.
    const TempDir dir;
    const std::wstring path = dir.file(L"huge.ted");
    writeFile(path, rawHeader(1, 0x7FFFFFFFu));
    std::filesystem::resize_file(nativePath(path), 0x80000007u);
    std::ofstream(nativePath(path), std::ios::binary | std::ios::app)
        .write("\2\0\0\0\xF0\xFF\xFF\x7F", 8); // a chunk that ends at 4 GiB - 1
    std::filesystem::resize_file(nativePath(path), 0xFFFFFFFFu);
    HeldFile whole = holdFile(path);
    EXPECT_EQ(loadChunkFile(whole.file).root().children.size(), 2u);
    std::filesystem::resize_file(nativePath(path), (1ull << 32) + 8);
    HeldFile huge = holdFile(path);
    EXPECT_THROW(loadChunkFile(huge.file), ReadException);
}

// Loaded and written back 255 levels deep: the same bytes, an empty container as empty data.
TEST(ChunkStreamTest, RewriteGivesBackEveryByteThroughTheWindow) {
    const Bytes kept = concat({chunk(0xDEADBEEF, text("header")),
                               container(2, {chunk(3, text("xyz")), container(4, {chunk(5, {})}),
                                             chunk(6, Bytes(3000, 0xAB))}),
                               nested(255)});
    const Bytes given =
        concat({kept, rawHeader(8, 0x80000000u), container(9, {rawHeader(10, 0x80000000u)})});
    const Bytes expected = concat({kept, chunk(8, {}), container(9, {chunk(10, {})})});
    for (const TreeDetail detail : {TreeDetail::Whole, TreeDetail::TopLevel}) {
        const auto rewrite = [&](const Bytes& content, std::uint32_t window) {
            MemoryFile source(content), file;
            writeChunkTree(loadChunkTree(source, 1u << 30, 64, detail), file, window);
            return file;
        };
        EXPECT_EQ(rewrite(given, 64).bytes, expected);
        EXPECT_TRUE(rewrite({}, 64).bytes.empty());
        const MemoryFile whole = rewrite(expected, static_cast<std::uint32_t>(expected.size()));
        EXPECT_EQ(whole.bytes, expected);
        EXPECT_EQ(whole.writes, 1u);
    }
    // What follows on in the source is one copy: two around a chunk taken out.
    const Bytes after = concat({container(3, {chunk(4, text("ab"))}), chunk(5, {})});
    MemoryFile source(concat({chunk(1, Bytes(16)), chunk(2, {}), after})), out;
    ChunkTree tree = loadChunkTree(source, 1u << 30);
    tree.root().children.erase(tree.root().children.begin() + 1);
    writeChunkTree(tree, out, 64);
    EXPECT_EQ(out.bytes, concat({chunk(1, Bytes(16)), after}));
    EXPECT_EQ(out.writes, 2u);
}

#ifndef _WIN32
// Bodies far beyond the process's address-space room and the budget it gives stay on disk.
TEST(ChunkStreamTest, BodiesBeyondTheBudgetStayOnDisk) {
    const TempDir dir;
    const std::wstring path = dir.file(L"large.ted"), written = dir.file(L"written.ted");
    const std::uint32_t length = 48u << 20, room = 16u << 20;
    const Bytes tail = text("the last bytes, where they were");
    writeFile(path, concat({chunk(19, text("tga")), rawHeader(7, length)}));
    std::filesystem::resize_file(nativePath(path), 19 + length - tail.size()); // a hole
    std::ofstream(nativePath(path), std::ios::binary | std::ios::app)
        .write(reinterpret_cast<const char*>(tail.data()), tail.size());
    Bytes boxes; // two million empty chunks in boxes of a thousand: their nodes do not fit
    for (const Bytes box = container(2, {Bytes(8000, 0)}); boxes.size() < (16u << 20);)
        boxes.insert(boxes.end(), box.begin(), box.end());
    MemoryFile many(std::move(boxes));
    std::uint64_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit before{};
    getrlimit(RLIMIT_AS, &before);
    const rlimit limited{pages * getpagesize() + room, before.rlim_max};
    ASSERT_EQ(setrlimit(RLIMIT_AS, &limited), 0);
    const std::uint64_t budget = native::processMemoryRoom(); // whatever the machine has free
    EXPECT_THROW(loadChunkTree(many, 1ull << 40), std::bad_alloc) << "within too large a budget";
    // What extraction loads of them is a node per box.
    EXPECT_NO_THROW(loadChunkTree(many, budget, LOAD_WINDOW, TreeDetail::TopLevel));
    {
        HeldFile source = holdFile(path);
        ChunkTree tree = loadChunkTree(source.file, budget);
        tree.root().children.erase(tree.root().children.begin());
        writeFileSafely(written, WriteTarget::NewFile,
                        [&](PhysicalFile& out) { writeChunkTree(tree, out); });
    }
    setrlimit(RLIMIT_AS, &before);
    EXPECT_LE(budget, room);
    EXPECT_GE(budget, room / 4);
    const Bytes result = readFile(written);
    ASSERT_EQ(result.size(), 8 + length);
    EXPECT_EQ(Bytes(result.begin(), result.begin() + 8), rawHeader(7, length));
    EXPECT_EQ(Bytes(result.end() - tail.size(), result.end()), tail);
}
#endif

} // namespace
