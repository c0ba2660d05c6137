// Names as bytes, and the safe write that replaces a file in one step.
#include "chunk_tree.h"
#include "file.h"
#include "interruption.h"
#include "preview.h"
#include "safe_write.h"
#include "test_support.h"
#include "utf8.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <utility>

#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace filesystem_ops {
extern int (*renameUnlessTaken)(int folder, const char* from, const char* to);
}
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
}

// A disk full after any byte leaves what was there; a small window crosses every buffer edge.
TEST(SafeWriteTest, FailureAtAnyWriteLeavesWhatWasThere) {
    const TempDir dir;
    const std::wstring map = dir.file(L"Karte \u00c4 \u65e5\u672c.ted");
    const SampleMap sample = sampleMap();
    writeFile(map, sample.bytes());
    HeldFile held = holdFile(map);
    ChunkTree tree = loadChunkFile(held.file);
    tree.root().children.erase(tree.root().children.begin() + 3); // the preview
    const std::wstring newFile = dir.file(L"new.tga");
    const auto expectedNames = dir.names();
    // The file on disk takes `budget` bytes and no more, as a full disk would.
    struct FillingFile : File {
        FillingFile(PhysicalFile& f, std::uint32_t room) : file(f), room(room) {}
        std::uint32_t size() override { return file.size(); }
        void seek(std::uint32_t pos) override { file.seek(pos); }
        std::uint32_t tell() override { return file.tell(); }
        std::uint32_t read(void* buffer, std::uint32_t count) override {
            return file.read(buffer, count);
        }
        std::uint32_t write(const void* buffer, std::uint32_t count) override {
            count = std::min(count, room);
            room -= count;
            return file.write(buffer, count);
        }
        PhysicalFile& file;
        std::uint32_t room;
    };
    const auto write = [&](const std::wstring& path, WriteTarget target, std::uint32_t budget) {
        writeFileSafely(path, target, [&](PhysicalFile& file) {
            FillingFile filling(file, budget);
            writeChunkTree(tree, filling, 64);
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

// A neighbour at step `at` (1, 2: the preview's file, its replace; 3: the map's) is said, no harm.
TEST(SafeWriteTest, NamesChangedDuringTheRunChangeNoOtherFile) {
    enum Change { MapToLink, PlantTarga, TemporaryToLink, NamesTaken, ShrinkMap, TouchMap };
    struct Case {
        Change change;
        bool twoLinks;
        int at;
    };
    const Case cases[] = {
#ifndef _WIN32 // where Windows lets nobody rename a file that the tool holds open
        {MapToLink, false, 2},       {MapToLink, false, 3}, {MapToLink, true, 3},
        {TemporaryToLink, false, 3}, {ShrinkMap, false, 3}, {TouchMap, false, 3},
#endif
        {PlantTarga, false, 1},      {NamesTaken, false, 0}};
    static Case now;
    static int calls;
    static std::filesystem::path folder;
#ifndef _WIN32 // the Targa file placed as where no rename keeps a name free: by a second link
    const auto noRename = [](int, const char*, const char*) { return errno = EINVAL, -1; };
    const auto renameUnlessTaken = std::exchange(filesystem_ops::renameUnlessTaken, noRename);
#endif
    for (const Case& c : cases) {
        const TempDir dir;
        const SampleMap sample = sampleMap();
        const std::wstring map = dir.file(L"m.ted"),
                           theirs = dir.file(c.change == NamesTaken ? L"~mp00000000abcd.tmp"
                                                                    : L"theirs");
        writeFile(map, sample.bytes());
        writeFile(theirs, text("theirs"));
        if (c.twoLinks)
            std::filesystem::create_hard_link(nativePath(map), nativePath(dir.file(L"l.ted")));
        now = c, calls = 0, folder = dir.path();
        const auto drawn = temporaryNameNumber;
        if (c.change == NamesTaken)
            temporaryNameNumber = [] { return std::uint64_t(0xabcd); };
        static const auto step = [](const std::wstring& temporary) {
            if (++calls != now.at)
                return;
            if (now.change == ShrinkMap)
                return std::filesystem::resize_file(folder / "m.ted", 100);
            if (now.change == TouchMap) // the same bytes, written again
                return std::filesystem::last_write_time(folder / "m.ted", {});
            if (now.change == PlantTarga)
                return (void)std::filesystem::copy_file(folder / "theirs", folder / "m.tga");
            const auto name = now.change == MapToLink ? folder / "m.ted" : nativePath(temporary);
            std::filesystem::rename(name, folder / "moved");
            std::filesystem::create_symlink(folder / "theirs", name);
        };
        afterTemporaryFileCreated = step, whileReplacing = [] { step(L""); };
        const std::wstring message = messageOf([&] {
            runExtraction(dir.file(L"m.tga"), map, MapChange::RemovePreview, ExistingTarga::Refuse);
        });
        afterTemporaryFileCreated = nullptr, whileReplacing = nullptr, temporaryNameNumber = drawn;
        const std::wstring expected[] = {
            L"The map was changed by another program while it was being read:\n" + map,
            L"The preview file already exists:\n" + dir.file(L"m.tga"),
            L"Unable to open file:\n" + map,
            L"The folder holds too many temporary files to take another (~mp*.tmp):\n" +
                dir.file(L""),
            L"Unable to read file",
            L"The map was changed by another program while it was being read:\n" + map};
        EXPECT_EQ(message, expected[c.change]);
        EXPECT_TRUE(c.change == ShrinkMap || // else as the neighbour left it
                    readFile(dir.file(c.change == MapToLink ? L"moved" : L"m.ted")) ==
                        sample.bytes());
        EXPECT_EQ(readFile(theirs), text("theirs"));
        for (const auto& name : dir.names())
            EXPECT_TRUE(name.string().rfind("~mp", 0) || name == "~mp00000000abcd.tmp") << name;
    }
#ifndef _WIN32
    filesystem_ops::renameUnlessTaken = renameUnlessTaken;
#endif
}

#ifndef _WIN32
// In a sticky folder others may write, only the user's or the folder owner's links are followed.
TEST(SafeWriteTest, StickyFolderLinksAreFollowedOnlyFromTheirOwners) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to give a link another owner";
    const TempDir dir;
    const std::wstring map = dir.file(L"m.ted"), link = dir.file(L"shared/m.ted");
    writeFile(map, sampleMap().bytes());
    const auto shared = dir.path() / "shared";
    std::filesystem::create_directory(shared);
    std::filesystem::create_symlink(nativePath(map), nativePath(link));
    // The folder's mode and owner, the link's owner, and whether the link is followed.
    const std::tuple<mode_t, uid_t, uid_t, bool> cases[] = {
        {01777, 0, 4321, false}, {01777, 4321, 0, true}, {01777, 4321, 4321, true},
        {0777, 0, 4321, true},   {01755, 0, 4321, true},
    };
    for (const auto& [mode, folderOwner, linkOwner, followed] : cases) {
        ASSERT_TRUE(chmod(shared.c_str(), mode) == 0 &&
                    chown(shared.c_str(), folderOwner, 0) == 0 &&
                    lchown(nativePath(link).c_str(), linkOwner, linkOwner) == 0);
        EXPECT_EQ(messageOf([&] { runExtraction(dir.file(L"m.tga"), link, MapChange::KeepMap); }),
                  followed ? L"" : L"Unable to open file:\n" + link)
            << mode << " " << linkOwner;
    }
}

// SIGTERM at each step in a child: the map whole, old or new (a held step ends first), no leftover;
// ignored from the start (nohup), it stays ignored.
TEST(SafeWriteTest, InterruptionAtEachStepLeavesNoTemporaryFile) {
    struct Case {
        bool twoLinks, atReplace, ignored, mapIsNew;
    };
    const Case cases[] = {{false, false, false, false},
                          {false, true, false, true},
                          {true, false, false, true},
                          {false, false, true, true}};
    for (const Case c : cases) {
        const TempDir dir;
        const std::wstring map = dir.file(L"m.ted");
        const SampleMap sample = sampleMap();
        writeFile(map, sample.bytes());
        if (c.twoLinks)
            std::filesystem::create_hard_link(nativePath(map), nativePath(dir.file(L"l.ted")));
        const auto names = dir.names();
        const pid_t child = fork();
        ASSERT_GE(child, 0) << "no child to interrupt";
        if (child == 0) {
            std::signal(SIGTERM, c.ignored ? SIG_IGN : SIG_DFL);
            removePendingFilesOnInterruption();
            whileReplacing = [] { std::raise(SIGTERM); };
            writeFileSafely(map, WriteTarget::ExistingFile, [&](PhysicalFile& file) {
                if (!c.atReplace)
                    std::raise(SIGTERM);
                file.write(sample.withoutPreview().data(), sample.withoutPreview().size());
            });
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(c.ignored ? WIFEXITED(status) && WEXITSTATUS(status) == 0
                              : WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM)
            << status;
        EXPECT_EQ(readFile(map), c.mapIsNew ? sample.withoutPreview() : sample.bytes());
        EXPECT_EQ(dir.names(), names);
    }
}

#endif

} // namespace
