#include "chunk_node.h"
#include "file.h"
#include "safe_write.h"
#include "test_support.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

class SafeWriteTest : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring map = dir.file(L"Karte \u00c4 \u65e5\u672c.ted");
    SampleMap sample = sampleMap();
};

// A disk that fills up after any number of bytes, on the map's rewrite and on a new
// file: what was at the path stays as it was (the old map, or nothing), and no file is
// left behind. A small write window makes the buffer move on, patch headers inside and
// before it, and pass the larger bodies straight through.
TEST_F(SafeWriteTest, FailureAtAnyWriteLeavesWhatWasThere) {
    writeFile(map, sample.bytes());
    ChunkTree tree = loadChunkFile(map);
    ChunkNode& root = tree.root();
    root.children.erase(root.children.begin() + 3); // the preview
    const std::wstring newFile = dir.file(L"new.tga");
    const auto expectedNames = dir.names();
    const auto write = [&](const std::wstring& path, WriteTarget target, std::uint32_t budget) {
        writeFileSafely(path, target, [&](PhysicalFile& file) {
            FillingFile filling(file, budget);
            writeChunkTree(root, filling, 64);
        });
    };
    const std::uint32_t size = static_cast<std::uint32_t>(sample.withoutPreview().size());
    for (std::uint32_t budget = 0; budget < size; ++budget) {
        for (const auto& [path, target] : {std::pair{map, WriteTarget::ExistingFile},
                                           std::pair{newFile, WriteTarget::NewOrExisting}}) {
            try {
                write(path, target, budget);
                FAIL() << "budget " << budget;
            } catch (const WriteException& e) {
                EXPECT_EQ(e.message, L"Unable to write file");
            }
        }
        ASSERT_EQ(readFile(map), sample.bytes()) << "budget " << budget;
        ASSERT_EQ(dir.names(), expectedNames) << "a file left behind, budget " << budget;
    }
    write(newFile, WriteTarget::NewOrExisting, 0xFFFFFFFFu);
    EXPECT_EQ(readFile(newFile), sample.withoutPreview());
}

TEST_F(SafeWriteTest, SuccessLeavesOnlyTheNewMap) {
    writeFile(map, sample.bytes());
    const auto names = dir.names();
    writeFileSafely(map, WriteTarget::ExistingFile,
                    [](PhysicalFile& file) { file.write("new", 3); });
    EXPECT_EQ(readFile(map), text("new"));
    EXPECT_EQ(dir.names(), names);
}

TEST_F(SafeWriteTest, MissingMapIsNotCreated) {
    EXPECT_THROW(writeFileSafely(map, WriteTarget::ExistingFile, [](PhysicalFile&) {}),
                 FileNotFoundException);
    EXPECT_FALSE(fileExists(map));
}

#ifndef _WIN32
TEST_F(SafeWriteTest, KeepsPermissionBits) {
    writeFile(map, sample.bytes());
    const std::string native = nativePath(map).string();
    ASSERT_EQ(chmod(native.c_str(), 0640), 0);
    writeFileSafely(map, WriteTarget::ExistingFile,
                    [](PhysicalFile& file) { file.write("new", 3); });
    struct stat info {};
    ASSERT_EQ(stat(native.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(SafeWriteTest, ReplacesTheFileALinkPointsTo) {
    writeFile(map, sample.bytes());
    const std::wstring link = dir.file(L"link.ted");
    std::filesystem::create_symlink(nativePath(map), nativePath(link));
    writeFileSafely(link, WriteTarget::ExistingFile,
                    [](PhysicalFile& file) { file.write("new", 3); });
    EXPECT_TRUE(std::filesystem::is_symlink(nativePath(link)));
    EXPECT_EQ(readFile(map), text("new"));
}

// A real file-size limit makes the temporary file, and the Targa file, fail at every
// possible point of the whole extraction.
#endif

} // namespace
