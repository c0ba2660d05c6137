#include "run_program.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

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

TEST_F(TedchunkTest, TwoMapsOfOneBatchNeverShareATargaFile) {
    const std::wstring first = placeMap(L"alpha.ted", sample.bytes());
    const std::wstring second = placeMap(L"alpha", sample.bytes());
    for (const bool force : {false, true}) {
        writeFile(first, sample.bytes());
        std::filesystem::remove(nativePath(path(L"alpha.tga")));
        std::vector<std::wstring> arguments{L"extract", first, second};
        if (force)
            arguments.insert(arguments.begin() + 1, L"--force");
        const ProgramRun run = tedchunk(arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(readFile(first), sample.withoutPreview());
        EXPECT_EQ(readFile(second), sample.bytes());
        EXPECT_EQ(readFile(path(L"alpha.tga")), sample.preview);
        EXPECT_NE(run.err.find(second + L": "), std::wstring::npos) << run.err;
    }
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

#ifndef _WIN32
TEST_F(TedchunkTest, NoPreviewTextFollowsTheUsersLanguage) {
    const std::wstring none = placeMap(L"none.ted", {});
    const ProgramRun run = tedchunk({L"extract", none}, {{"LC_ALL", ""}, {"LANG", "de_DE.UTF-8"}});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, L"Die Map verf\u00fcgt \u00fcber keine Vorschau.\nKeine \u00c4nderung.\n");
}
#endif

} // namespace
