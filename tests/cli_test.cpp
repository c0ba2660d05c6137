#include "run_program.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#include <sys/stat.h>
#endif

namespace {

const std::wstring NO_PREVIEW = L"The map does not contain a preview image.\nNothing done.";

// Runs the built tedchunk on real files in a fresh folder.
class TedchunkTest : public ::testing::Test {
protected:
    ProgramRun tedchunk(const std::vector<std::wstring>& arguments,
                        const std::vector<std::pair<std::string, std::string>>& environment = {}) {
        return runProgram(TEDCHUNK_PROGRAM, arguments, environment);
    }
    std::wstring path(const std::wstring& name) { return dir.file(name); }
    std::wstring placeMap(const std::wstring& name, const Bytes& content) {
        writeFile(path(name), content);
        return path(name);
    }

    TempDir dir;
    SampleMap sample = sampleMap();
};

TEST_F(TedchunkTest, KeepLeavesTheMapAlone) {
    const std::wstring map = placeMap(L"Karte \u00c4 \u65e5\u672c.ted", sample.bytes());
    const std::wstring out = path(L"bild.tga");
    const ProgramRun run = tedchunk({L"extract", L"--keep", L"-o", out, map});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, map + L": preview saved to " + out + L", map unchanged\n");
    EXPECT_EQ(readFile(out), sample.preview);
    EXPECT_EQ(readFile(map), sample.bytes());
}

TEST_F(TedchunkTest, ExistingTargaFileNeedsForce) {
    const std::wstring map = placeMap(L"alpha.ted", sample.bytes());
    writeFile(path(L"alpha.tga"), text("older preview"));
    ProgramRun run = tedchunk({L"extract", map});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, L"The preview file already exists:\n" + path(L"alpha.tga") + L"\n");
    EXPECT_EQ(readFile(path(L"alpha.tga")), text("older preview"));
    EXPECT_EQ(readFile(map), sample.bytes());

    run = tedchunk({L"extract", L"--force", map});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(readFile(path(L"alpha.tga")), sample.preview);
    EXPECT_EQ(readFile(map), sample.withoutPreview());
}

TEST_F(TedchunkTest, BatchWithMixedOutcomes) {
    const std::wstring good = placeMap(L"good.ted", sample.bytes());
    const std::wstring none = placeMap(L"none.ted", chunk(1, text("no preview here")));
    const Bytes broken = concat({chunk(19, text("TGA")), text("stray")});
    const std::wstring bad = placeMap(L"bad.ted", broken);
    const std::wstring missing = path(L"missing.ted");
    const ProgramRun run = tedchunk({L"extract", good, none, bad, missing});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              good + L": preview saved to " + path(L"good.tga") + L", removed from the map\n");
    EXPECT_EQ(run.err, none + L": " + NO_PREVIEW + L"\n" + bad + L": Unable to read file\n" +
                           missing + L": Unable to find file:\n" + missing + L"\n");
    EXPECT_EQ(readFile(good), sample.withoutPreview());
    EXPECT_EQ(readFile(bad), broken);
    EXPECT_FALSE(fileExists(path(L"none.tga")));
    EXPECT_FALSE(fileExists(path(L"bad.tga")));
}

TEST_F(TedchunkTest, NoPreviewWithoutFailuresExitsWithThree) {
    const std::wstring good = placeMap(L"good.ted", sample.bytes());
    const std::wstring none = placeMap(L"none.ted", {});
    EXPECT_EQ(tedchunk({L"extract", good, none}).exitCode, 3);
    const ProgramRun single = tedchunk({L"extract", none});
    EXPECT_EQ(single.exitCode, 3);
    EXPECT_EQ(single.err, NO_PREVIEW + L"\n") << "one map: no prefix";
}

// A Targa file written in a run is never written again: not when its map could not be
// rewritten afterwards (read-only) and a later map names it too, and not when the same
// map is given again, which is said as such.
TEST_F(TedchunkTest, ATargaFileIsWrittenOncePerRun) {
    const std::wstring first = placeMap(L"alpha.ted", sample.bytes());
    const Bytes secondMap = chunk(19, text("second preview"));
    const std::wstring second = placeMap(L"alpha", secondMap);
    const std::wstring targa = path(L"alpha.tga");
    setReadOnly(first, true);
    const ProgramRun run = tedchunk({L"extract", L"--force", first, second, first});
    setReadOnly(first, false);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, L"");
    EXPECT_EQ(run.err, first + L": Unable to open file:\n" + first + L"\n" + second +
                           L": The preview file was already written for another map:\n" + targa +
                           L"\n" + first +
                           L": The map was given more than once; its preview was saved to:\n" +
                           targa + L"\n");
    EXPECT_EQ(readFile(targa), sample.preview);
    EXPECT_EQ(readFile(first), sample.bytes());
    EXPECT_EQ(readFile(second), secondMap);
}

TEST_F(TedchunkTest, ListShowsTheTree) {
    const std::wstring map =
        placeMap(L"alpha.ted", concat({chunk(1, text("ab")),
                                       container(2, {chunk(3, text("xyz")), container(4, {})}),
                                       chunk(19, text("TGA"))}));
    const ProgramRun run = tedchunk({L"list", map});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, L"1 data 2 bytes at 0\n"
                       L"2 container 19 bytes at 10\n"
                       L"  3 data 3 bytes at 18\n"
                       L"  4 container 0 bytes at 29\n"
                       L"19 data 3 bytes at 37\n");
}

TEST_F(TedchunkTest, CheckReportsEachMapAndChangesNothing) {
    const std::wstring good = placeMap(L"good.ted", sample.bytes());
    const Bytes deepTooFar = [] {
        Bytes deep = chunk(7, {});
        for (int i = 0; i < 255; ++i)
            deep = container(5, {deep});
        return deep;
    }();
    const std::wstring bad = placeMap(L"bad.ted", deepTooFar);
    const ProgramRun run = tedchunk({L"check", good, bad});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, good + L": well-formed, 12 chunks\n");
    EXPECT_EQ(run.err, bad + L": Unable to read file\n");
    EXPECT_EQ(readFile(good), sample.bytes());
    EXPECT_EQ(readFile(bad), deepTooFar);
}

TEST_F(TedchunkTest, UsageErrorsChangeNothing) {
    const std::wstring a = placeMap(L"a.ted", sample.bytes());
    const std::wstring b = placeMap(L"b.ted", sample.bytes());
    for (const std::vector<std::wstring>& arguments :
         std::vector<std::vector<std::wstring>>{{},
                                                {L"frobnicate"},
                                                {L"extract"},
                                                {L"extract", L"-o", path(L"x.tga"), a, b},
                                                {L"extract", a, L"-o"},
                                                {L"extract", L"--fast", a},
                                                {L"list", a, b}}) {
        const ProgramRun run = tedchunk(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(L"Usage:"), std::wstring::npos);
        EXPECT_EQ(run.out, L"");
    }
    EXPECT_EQ(readFile(a), sample.bytes());
    EXPECT_FALSE(fileExists(path(L"x.tga")));
}

TEST_F(TedchunkTest, HelpAndVersion) {
    const ProgramRun help = tedchunk({L"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find(L"tedchunk extract [--keep] [--force] [-o OUT.tga] MAP..."),
              std::wstring::npos);
    const ProgramRun version = tedchunk({L"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, L"tedchunk " TEDCHUNK_VERSION_TEXT L"\n");
}

// An interruption while the new map is being written (SIGTERM; Ctrl+C on Windows): the
// temporary file goes, the map stays as it was, and on Linux the program still ends by
// the signal.
TEST_F(TedchunkTest, InterruptionInTheMiddleOfARewriteLeavesNoTemporaryFile) {
    const Bytes big = concat({chunk(19, sample.preview), chunk(1, Bytes(48 << 20, 0x5A))});
    const std::wstring map = placeMap(L"big.ted", big);
    bool caught = false;
    const ProgramRun run = runProgram(TEDCHUNK_PROGRAM, {L"extract", map}, {}, [&](long id) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!caught && std::chrono::steady_clock::now() < deadline) {
            const auto names = dir.names();
            caught = names.count("big.tga") &&
                     std::any_of(names.begin(), names.end(), [](const auto& name) {
                         return name.string().rfind("~mp", 0) == 0;
                     });
        }
        interrupt(id);
    });
    ASSERT_TRUE(caught) << "the map's temporary file never showed";
    EXPECT_EQ(run.out, L"") << "ended before it was done";
#ifndef _WIN32
    EXPECT_EQ(run.exitCode, 128 + SIGTERM);
#endif
    EXPECT_EQ(readFile(map), big);
    EXPECT_EQ(dir.names(), (std::set<std::filesystem::path>{"big.ted", "big.tga"}));
}

#ifdef _WIN32
// Windows shells pass patterns on as typed: tedchunk.exe takes them as the files they
// match (no folders, and no names matched only by their short 8.3 form), sorted by name,
// the folder part as typed. One that matches nothing is reported; the others still run.
TEST_F(TedchunkTest, WildcardsNameTheFilesTheyMatch) {
    for (const wchar_t* name : {L"b.ted", L"A2.ted", L"a.ted", L"x.tedx"})
        placeMap(name, sample.bytes());
    CreateDirectoryW(path(L"d.ted").c_str(), nullptr);
    const std::wstring folder = dir.path().wstring() + L"/";
    const std::wstring none = folder + L"none*.ted";
    const ProgramRun run = tedchunk({L"check", folder + L"*.ted", none, folder + L"?.tedx"});
    EXPECT_EQ(run.exitCode, 1);
    std::wstring expected;
    for (const wchar_t* name : {L"a.ted", L"A2.ted", L"b.ted", L"x.tedx"})
        expected += folder + name + L": well-formed, 12 chunks\n";
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, none + L": Unable to find file:\n" + none + L"\n");
}
#else
// A name is the bytes given: one that is not valid UTF-8 names that file and no other
// that decodes alike, and is printed as it was given.
TEST_F(TedchunkTest, NamesAreTheBytesGiven) {
    const std::wstring named = placeMap(L"n\xDCFF.ted", sample.bytes());
    const std::wstring lookalike = placeMap(L"n\uFFFD.ted", sample.bytes());
    std::filesystem::create_directory(nativePath(path(L"sub")));
    const std::wstring inFolder = placeMap(L"sub/m.ted", sample.bytes());
    const std::wstring overlongSlash = path(L"sub\xDCC0\xDCAFm.ted");
    const ProgramRun run = tedchunk({L"extract", named, overlongSlash});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              named + L": preview saved to " + path(L"n\xDCFF.tga") + L", removed from the map\n");
    EXPECT_EQ(run.err, overlongSlash + L": Unable to find file:\n" + overlongSlash + L"\n");
    EXPECT_EQ(readFile(named), sample.withoutPreview());
    EXPECT_EQ(readFile(lookalike), sample.bytes());
    EXPECT_EQ(readFile(inFolder), sample.bytes());
}

// A file-size limit makes the Targa write fail: a failed write, not the end of the
// program, and the Targa file it was to replace is kept.
TEST_F(TedchunkTest, FileSizeLimitKeepsTheOldTargaFile) {
    const std::wstring map = placeMap(L"alpha.ted", sample.bytes());
    writeFile(path(L"alpha.tga"), text("older preview"));
    const ProgramRun run = runProgram(
        L"/usr/bin/prlimit", {L"--fsize=100", TEDCHUNK_PROGRAM, L"extract", L"--force", map});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, L"Unable to write file\n");
    EXPECT_EQ(readFile(path(L"alpha.tga")), text("older preview"));
    EXPECT_EQ(readFile(map), sample.bytes());
    EXPECT_EQ(dir.names(), (std::set<std::filesystem::path>{"alpha.ted", "alpha.tga"}));
}

// Only plain files, and none the user protected: a FIFO as map or Targa path is refused at
// once, never waited on, and so is a read-only Targa file, even for root.
TEST_F(TedchunkTest, WhatIsNoWritablePlainFileIsRefusedAtOnce) {
    const std::wstring map = placeMap(L"alpha.ted", sample.bytes());
    const std::wstring fifo = path(L"pipe"), readOnly = path(L"kept.tga");
    ASSERT_EQ(mkfifo(nativePath(fifo).c_str(), 0600), 0);
    writeFile(readOnly, text("kept"));
    setReadOnly(readOnly, true);
    for (const auto& [arguments, refused] :
         {std::pair{std::vector<std::wstring>{L"check", fifo}, fifo},
          std::pair{std::vector<std::wstring>{L"extract", L"--force", L"-o", fifo, map}, fifo},
          std::pair{std::vector<std::wstring>{L"extract", L"--force", L"-o", readOnly, map},
                    readOnly}}) {
        const ProgramRun run = tedchunk(arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, L"Unable to open file:\n" + refused + L"\n");
    }
    EXPECT_EQ(readFile(map), sample.bytes());
    EXPECT_EQ(readFile(readOnly), text("kept"));
    setReadOnly(readOnly, false);
}

TEST_F(TedchunkTest, NoPreviewTextFollowsTheUsersLanguage) {
    const std::wstring none = placeMap(L"none.ted", {});
    const ProgramRun run = tedchunk({L"extract", none}, {{"LC_ALL", ""}, {"LANG", "de_DE.UTF-8"}});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, L"Die Map verf\u00fcgt \u00fcber keine Vorschau.\nKeine \u00c4nderung.\n");
}
#endif

} // namespace
