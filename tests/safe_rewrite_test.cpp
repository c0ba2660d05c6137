#include "chunk_node.h"
#include "file.h"
#include "preview.h"
#include "safe_rewrite.h"
#include "test_support.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

std::set<std::filesystem::path> folderContents(const TempDir& dir) {
    std::set<std::filesystem::path> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        names.insert(entry.path().filename());
    return names;
}

// Forwards to a real file but takes only `budget` bytes in all, like a disk that fills up.
class FillingFile : public File {
public:
    FillingFile(File& f, std::uint32_t budget) : file(f), left(budget) {}
    bool isAtEnd() override { return file.isAtEnd(); }
    std::uint32_t size() override { return file.size(); }
    void seek(std::uint32_t pos) override { file.seek(pos); }
    std::uint32_t tell() override { return file.tell(); }
    std::uint32_t read(void* buffer, std::uint32_t count) override {
        return file.read(buffer, count);
    }
    std::uint32_t write(const void* buffer, std::uint32_t count) override {
        const std::uint32_t n = file.write(buffer, count < left ? count : left);
        left -= n;
        return n;
    }

private:
    File& file;
    std::uint32_t left;
};

class SafeRewriteTest : public ::testing::Test {
protected:
    std::unique_ptr<ChunkNode> loadMap() {
        PhysicalFile file(OPEN_READ, map);
        return loadChunkTree(file);
    }

    TempDir dir;
    std::wstring map = dir.file(L"Karte \u00c4 \u65e5\u672c.ted");
    SampleMap sample = sampleMap();
};

TEST_F(SafeRewriteTest, FailureAtAnyWriteLeavesTheOldMap) {
    writeFile(map, sample.bytes());
    auto root = loadMap();
    root->children.pop_front();
    const auto expectedNames = folderContents(dir);
    int failures = 0;
    for (std::uint32_t budget = 0; budget < sample.bytes().size(); budget += 7) {
        try {
            rewriteFileSafely(map, [&](PhysicalFile& file) {
                FillingFile filling(file, budget);
                writeChunkTree(*root, filling);
            });
        } catch (const WriteException& e) {
            ++failures;
            EXPECT_EQ(e.message, L"Unable to write file");
        }
        ASSERT_EQ(readFile(map), sample.bytes()) << "budget " << budget;
        ASSERT_EQ(folderContents(dir), expectedNames) << "temporary file left behind";
    }
    EXPECT_GT(failures, 100);
}

TEST_F(SafeRewriteTest, SuccessLeavesOnlyTheNewMap) {
    writeFile(map, sample.bytes());
    const auto names = folderContents(dir);
    rewriteFileSafely(map, [](PhysicalFile& file) { file.write("new", 3); });
    EXPECT_EQ(readFile(map), text("new"));
    EXPECT_EQ(folderContents(dir), names);
}

TEST_F(SafeRewriteTest, MissingMapIsNotCreated) {
    EXPECT_THROW(rewriteFileSafely(map, [](PhysicalFile&) {}), FileNotFoundException);
    EXPECT_FALSE(fileExists(map));
}

#ifdef _WIN32
TEST_F(SafeRewriteTest, MapLockedByAnotherProgramIsRefused) {
    writeFile(map, sample.bytes());
    HANDLE lock = CreateFileW(map.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    try {
        rewriteFileSafely(map, [](PhysicalFile& file) { file.write("new", 3); });
        ADD_FAILURE() << "no exception";
    } catch (const IOException& e) {
        EXPECT_EQ(e.message, L"Unable to open file:\n" + map);
    }
    CloseHandle(lock);
    EXPECT_EQ(readFile(map), sample.bytes());
    EXPECT_EQ(folderContents(dir).size(), 1u);
}
#else
TEST_F(SafeRewriteTest, KeepsPermissionBits) {
    writeFile(map, sample.bytes());
    const std::string native = nativePath(map).string();
    ASSERT_EQ(chmod(native.c_str(), 0640), 0);
    rewriteFileSafely(map, [](PhysicalFile& file) { file.write("new", 3); });
    struct stat info {};
    ASSERT_EQ(stat(native.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(SafeRewriteTest, ReplacesTheFileALinkPointsTo) {
    writeFile(map, sample.bytes());
    const std::wstring link = dir.file(L"link.ted");
    std::filesystem::create_symlink(nativePath(map), nativePath(link));
    rewriteFileSafely(link, [](PhysicalFile& file) { file.write("new", 3); });
    EXPECT_TRUE(std::filesystem::is_symlink(nativePath(link)));
    EXPECT_EQ(readFile(map), text("new"));
}

// A real file-size limit makes the temporary file, and the Targa file, fail at every
// possible point of the whole extraction.
TEST_F(SafeRewriteTest, FileSizeLimitAtAnyPointLeavesTheOldMap) {
    writeFile(map, sample.bytes());
    const std::wstring targa = dir.file(L"preview.tga");
    signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    for (rlim_t limit = 0; limit <= sample.bytes().size(); limit += 5) {
        rlimit lowered{limit, original.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
        bool failed = false;
        try {
            runExtraction(targa, map);
        } catch (const WriteException&) {
            failed = true;
        }
        setrlimit(RLIMIT_FSIZE, &original);
        if (failed) {
            ASSERT_EQ(readFile(map), sample.bytes()) << "limit " << limit;
            ASSERT_EQ(folderContents(dir).size(), fileExists(targa) ? 2u : 1u);
        } else {
            EXPECT_EQ(readFile(map), sample.withoutPreview());
            EXPECT_EQ(readFile(targa), sample.preview);
            writeFile(map, sample.bytes());
        }
    }
    signal(SIGXFSZ, SIG_DFL);
}
#endif

} // namespace
