#include "file.h"
#include "test_support.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

template <typename Exception> std::wstring openFailureOf(unsigned mode, const std::wstring& path) {
    try {
        PhysicalFile file(mode, path);
    } catch (const Exception& e) {
        return e.message;
    }
    return L"(opened)";
}

TEST(PhysicalFileOpenTest, MissingFileOrFolderGivesFileNotFound) {
    TempDir dir;
    const std::wstring inFolder = dir.file(L"missing.ted");
    const std::wstring noFolder = dir.file(L"nowhere") + L"/missing.ted";
    EXPECT_EQ(openFailureOf<FileNotFoundException>(OPEN_READ, inFolder),
              L"Unable to find file:\n" + inFolder);
    EXPECT_EQ(openFailureOf<FileNotFoundException>(OPEN_READ, noFolder),
              L"Unable to find file:\n" + noFolder);
    EXPECT_EQ(openFailureOf<FileNotFoundException>(OPEN_WRITE, noFolder),
              L"Unable to find file:\n" + noFolder);
    EXPECT_FALSE(fileExists(inFolder));
}

TEST(PhysicalFileOpenTest, FolderCannotBeOpenedAsFile) {
    TempDir dir;
    const std::wstring folder = dir.path().wstring();
    // Not a missing file: the plain open message, caught as IOException only.
    std::wstring message;
    try {
        PhysicalFile file(OPEN_READ, folder);
    } catch (const FileNotFoundException&) {
        message = L"wrong class";
    } catch (const IOException& e) {
        message = e.message;
    }
    EXPECT_EQ(message, L"Unable to open file:\n" + folder);
}

TEST(PhysicalFileOpenTest, WriteModeCreatesOrTruncates) {
    TempDir dir;
    const std::wstring path = dir.file(L"Karte \u00c4 \u65e5\u672c.v2.ted");
    { PhysicalFile created(OPEN_WRITE, path); }
    EXPECT_TRUE(readFile(path).empty());
    writeFile(path, text("old content"));
    {
        PhysicalFile truncated(OPEN_WRITE, path);
        EXPECT_EQ(truncated.size(), 0u);
        EXPECT_EQ(truncated.write("new", 3), 3u);
    }
    EXPECT_EQ(readFile(path), text("new"));
}

#ifdef _WIN32
TEST(PhysicalFileOpenTest, WriteModeSharesReadingOnly) {
    TempDir dir;
    const std::wstring path = dir.file(L"locked.ted");
    PhysicalFile writer(OPEN_WRITE, path);
    EXPECT_EQ(openFailureOf<IOException>(OPEN_WRITE, path), L"Unable to open file:\n" + path);
    // A reader shares writing and asks only for reading, which the writer allows.
    EXPECT_EQ(openFailureOf<IOException>(OPEN_READ, path), L"(opened)");
}
#endif

class PhysicalFilePositionTest : public ::testing::Test {
protected:
    void SetUp() override { writeFile(path, text("0123456789")); }
    TempDir dir;
    std::wstring path = dir.file(L"ten.bin");
};

TEST_F(PhysicalFilePositionTest, SeekStopsAtTheEnd) {
    PhysicalFile file(OPEN_READ, path);
    EXPECT_EQ(file.tell(), 0u);
    file.seek(file.size() + 100);
    EXPECT_EQ(file.tell(), 10u);
    file.seek(3);
    EXPECT_EQ(file.tell(), 3u);
    file.seek(file.size());
    EXPECT_EQ(file.tell(), 10u);
    EXPECT_TRUE(file.isAtEnd());
    file.seek(0xFFFFFFFFu);
    EXPECT_EQ(file.tell(), 10u);
}

TEST_F(PhysicalFilePositionTest, SeekStopsAtTheEndItsOwnWritesMade) {
    PhysicalFile writer(OPEN_WRITE, path);
    EXPECT_EQ(writer.write("abcdef", 6), 6u);
    writer.seek(100);
    EXPECT_EQ(writer.tell(), 6u);
    // An overwrite that reaches past the end moves the end with it.
    writer.seek(4);
    EXPECT_EQ(writer.write("XYZ", 3), 3u);
    writer.seek(0);
    writer.seek(100);
    EXPECT_EQ(writer.tell(), 7u);
    writer.seek(2);
    EXPECT_EQ(writer.tell(), 2u);

    // A write that fails moves nothing.
    PhysicalFile reader(OPEN_READ, path);
    reader.seek(7);
    EXPECT_EQ(reader.write("abc", 3), 0u);
    reader.seek(9);
    EXPECT_EQ(reader.tell(), 7u);
}

TEST_F(PhysicalFilePositionTest, SeekReachesWhatAnotherProgramAppended) {
    PhysicalFile reader(OPEN_READ, path);
    reader.seek(8);
    {
        std::ofstream other(nativePath(path), std::ios::binary | std::ios::app);
        other << "abc";
    }
    reader.seek(12);
    EXPECT_EQ(reader.tell(), 12u);
    char buffer[4] = {};
    EXPECT_EQ(reader.read(buffer, 4), 1u);
    EXPECT_EQ(buffer[0], 'c');
    reader.seek(100);
    EXPECT_EQ(reader.tell(), 13u);
}

TEST_F(PhysicalFilePositionTest, ShortReadAtEndReturnsWhatIsThere) {
    PhysicalFile file(OPEN_READ, path);
    file.seek(6);
    char buffer[10] = {};
    EXPECT_FALSE(file.isAtEnd());
    EXPECT_EQ(file.read(buffer, 10), 4u);
    EXPECT_EQ(std::string(buffer, 4), "6789");
    EXPECT_EQ(file.tell(), 10u);
    EXPECT_TRUE(file.isAtEnd());
    EXPECT_EQ(file.read(buffer, 1), 0u);
}

TEST_F(PhysicalFilePositionTest, ReadsAndWritesGoToTheObjectsPosition) {
    PhysicalFile writer(OPEN_WRITE, path);
    EXPECT_EQ(writer.write("abcdef", 6), 6u);
    writer.seek(2);
    EXPECT_EQ(writer.write("XY", 2), 2u);
    EXPECT_EQ(writer.tell(), 4u);
    writer.seek(writer.size());
    EXPECT_EQ(writer.write("!", 1), 1u);
    EXPECT_TRUE(writer.flush());
    EXPECT_EQ(readFile(path), text("abXYef!"));
}

TEST_F(PhysicalFilePositionTest, FailedReadReturnsZeroAndKeepsPosition) {
    PhysicalFile writeOnly(OPEN_WRITE, path);
    EXPECT_EQ(writeOnly.write("abc", 3), 3u);
    writeOnly.seek(1);
    char buffer[2];
    EXPECT_EQ(writeOnly.read(buffer, 2), 0u);
    EXPECT_EQ(writeOnly.tell(), 1u);
}

TEST(WexceptionTest, CopiesKeepTheMessageWhenCaughtAsBase) {
    ReadException original;
    try {
        ReadException copy = original;
        throw copy;
    } catch (const wexception& e) {
        EXPECT_EQ(e.message, L"Unable to read file");
    }
    try {
        throw WriteException();
    } catch (const IOException& e) {
        EXPECT_EQ(e.message, L"Unable to write file");
    }
}

} // namespace
