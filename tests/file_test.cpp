// Names as bytes, and the safe write that replaces a file in one step.
#include "chunk_tree.h"
#include "file.h"
#include "safe_write.h"
#include "test_support.h"
#include "utf8.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <tuple>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Any bytes come back unchanged, and only well-formed UTF-8 decodes (no overlong "/").
TEST(Utf8Test, AnyBytesRoundTripAndOnlyWellFormedOnesDecode) {
    const std::pair<std::string, std::wstring> cases[] = {
        {"Karte \xC3\x84 \xE6\x97\xA5 \xF0\x9F\x97\xBA", L"Karte \u00c4 \u65e5 \U0001F5FA"},
        {"\xE0\x80\xAF\xF0\x80\x80\xAF", L"\xDCE0\xDC80\xDCAF\xDCF0\xDC80\xDC80\xDCAF"}, // overlong
        {"\xED\xA0\x80\xED\xB2\x80", L"\xDCED\xDCA0\xDC80\xDCED\xDCB2\xDC80"}, // surrogates
        {"\xF4\x90\x80\x80\xF8\x88", L"\xDCF4\xDC90\xDC80\xDC80\xDCF8\xDC88"}, // past U+10FFFF
        {"\xE6\x97", L"\xDCE6\xDC97"},                                         // cut short
        {"\x80\xC3\x84", L"\xDC80\u00c4"},                                     // stray byte
        {"\xC2\x80\xF4\x8F\xBF\xBF\xEE\x80\x80\xED\x9F\xBF", L"\u0080\U0010FFFF\uE000\uD7FF"},
        {"\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBD\xF0\x90\x80\x80", L"\u07FF\u0800\uFFFD\U00010000"},
    };
    for (const auto& [bytes, wide] : cases) {
        EXPECT_EQ(fromUtf8(bytes), wide) << bytes;
        EXPECT_EQ(toUtf8(wide), bytes);
    }
    std::string every;
    for (int byte = 1; byte < 256; ++byte)
        every += static_cast<char>(byte);
    EXPECT_EQ(toUtf8(fromUtf8(every + every)), every + every);
    // What UTF-8 cannot hold becomes U+FFFD; a surrogate pair is one code point.
    EXPECT_EQ(toUtf8(L"\xDC7F\xDFFF\xD800\xDC00\xDBFF\xDFFF\xD800\xDBFF"),
              "\xEF\xBF\xBD\xEF\xBF\xBD\xF0\x90\x80\x80\xF4\x8F\xBF\xBF\xEF\xBF\xBD\xEF\xBF\xBD");
    if (sizeof(wchar_t) == 4) {
        EXPECT_EQ(toUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");
    }
}

// A disk full after any byte leaves what was there; a small window crosses every buffer edge.
TEST(SafeWriteTest, FailureAtAnyWriteLeavesWhatWasThere) {
    const TempDir dir;
    const std::wstring map = dir.file(L"Karte \u00c4 \u65e5\u672c.ted");
    const SampleMap sample = sampleMap();
    writeFile(map, sample.bytes());
    ChunkTree tree = loadChunkFile(map);
    ChunkNode& root = tree.root();
    root.children.erase(root.children.begin() + 3); // the preview
    const std::wstring newFile = dir.file(L"new.tga");
    const auto expectedNames = dir.names();
    const auto write = [&](const std::wstring& path, WriteTarget target, std::uint32_t budget) {
        writeFileSafely(path, target, [&](PhysicalFile& file) {
            MemoryFile filling;
            filling.room = budget;
            writeChunkTree(tree, filling, 64);
            file.write(filling.bytes.data(), static_cast<std::uint32_t>(filling.bytes.size()));
        });
    };
    std::uint32_t budget = 0;
    for (;; ++budget) {
        try {
            write(newFile, WriteTarget::NewOrExisting, budget);
            break;
        } catch (const WriteException&) {
        }
        EXPECT_THROW(write(map, WriteTarget::ExistingFile, budget), WriteException) << budget;
        ASSERT_EQ(readFile(map), sample.bytes()) << "budget " << budget;
        ASSERT_EQ(dir.names(), expectedNames) << "a file left behind, budget " << budget;
    }
    EXPECT_EQ(readFile(newFile), sample.withoutPreview());
}

// A failed rewrite in place (a second link) keeps the copy, with the file's mode, and names it.
TEST(SafeWriteTest, FailedRewriteInPlaceKeepsACopy) {
    const TempDir dir;
    const std::wstring map = dir.file(L"map.ted");
    const SampleMap sample = sampleMap();
    writeFile(map, sample.bytes());
    std::filesystem::create_hard_link(nativePath(map), nativePath(dir.file(L"link.ted")));
    std::filesystem::permissions(nativePath(map), std::filesystem::perms(0640));
    const std::wstring copy = map + L".original";
    try {
        writeFileSafely(map, WriteTarget::ExistingFile,
                        [](PhysicalFile&) { throw WriteException(); });
    } catch (const IOException& e) {
        EXPECT_EQ(e.message, L"Unable to write file\nThe file is now incomplete. A copy of it as "
                             L"it was before is saved as:\n" +
                                 copy);
    }
    EXPECT_EQ(readFile(copy), sample.bytes());
    EXPECT_EQ(std::filesystem::status(nativePath(copy)).permissions(),
              std::filesystem::status(nativePath(map)).permissions());
}

#ifndef _WIN32
// A temporary file swapped for a link: the file linked to and the map stay as they were.
TEST(SafeWriteTest, SwappedTemporaryFileChangesNoOtherFile) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to own files as another user";
    const TempDir dir;
    const std::wstring map = dir.file(L"map.ted"), victim = dir.file(L"victim");
    static std::filesystem::path target;
    target = nativePath(victim);
    writeFile(victim, text("theirs"));
    writeFile(map, sampleMap().bytes());
    ASSERT_EQ(chown(target.c_str(), 4321, 4321) | chmod(target.c_str(), 0600), 0);
    afterTemporaryFileCreated = [](const std::wstring& temporary) {
        std::filesystem::remove(nativePath(temporary));
        std::filesystem::create_symlink(target, nativePath(temporary));
    };
    EXPECT_THROW(writeFileSafely(map, WriteTarget::ExistingFile, [](PhysicalFile&) {}),
                 IOException);
    afterTemporaryFileCreated = nullptr;
    struct stat info {};
    stat(target.c_str(), &info);
    EXPECT_EQ(std::make_tuple(info.st_uid, info.st_gid, info.st_mode & 07777, readFile(victim),
                              readFile(map)),
              std::make_tuple(4321u, 4321u, 0600u, text("theirs"), sampleMap().bytes()));
}
#endif

} // namespace
