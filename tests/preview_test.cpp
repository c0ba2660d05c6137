#include "message_box.h"
#include "preview.h"
#include "test_support.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <vector>

namespace {

const std::wstring NO_PREVIEW = L"The map does not contain a preview image.\nNothing done.";

// Runs the dialog's command on real files and records what the user would see.
class ExtractPreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        setMessageHook([this](const ShownMessage& m) { shown.push_back(m); });
    }
    void TearDown() override { setMessageHook(nullptr); }

    void extract() { extractPreview(targa, map); }

    void expectOneWideMessage(const std::wstring& text, unsigned style) {
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_TRUE(shown[0].wide);
        EXPECT_EQ(shown[0].text, text);
        EXPECT_EQ(shown[0].style, style);
    }

    TempDir dir;
    std::wstring map = dir.file(L"alpha.v2.ted");
    std::wstring targa = dir.file(L"alpha.v2.tga");
    std::vector<ShownMessage> shown;
};

TEST_F(ExtractPreviewTest, SavesThePreviewAndRewritesTheMapWithoutIt) {
    const SampleMap sample = sampleMap();
    writeFile(map, sample.bytes());
    extract();
    EXPECT_TRUE(shown.empty()) << "success shows nothing";
    EXPECT_EQ(readFile(targa), sample.preview);
    EXPECT_EQ(readFile(map), sample.withoutPreview());
}

TEST_F(ExtractPreviewTest, OnlyChunkLeavesAnEmptyMap) {
    writeFile(map, chunk(19, text("TGA")));
    extract();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(readFile(targa), text("TGA"));
    EXPECT_TRUE(readFile(map).empty());
}

TEST_F(ExtractPreviewTest, OnlyTheFirstOfTwoPreviewsIsTaken) {
    writeFile(map,
              concat({chunk(19, text("first")), chunk(5, text("x")), chunk(19, text("second"))}));
    extract();
    EXPECT_EQ(readFile(targa), text("first"));
    EXPECT_EQ(readFile(map), concat({chunk(5, text("x")), chunk(19, text("second"))}));
}

TEST_F(ExtractPreviewTest, ExistingTargaFileIsOverwritten) {
    writeFile(targa, Bytes(5000, 0xEE));
    writeFile(map, chunk(19, text("new")));
    extract();
    EXPECT_EQ(readFile(targa), text("new"));
}

TEST_F(ExtractPreviewTest, SecondRunFindsNoPreview) {
    const SampleMap sample = sampleMap();
    writeFile(map, sample.bytes());
    extract();
    ASSERT_TRUE(shown.empty());
    std::filesystem::remove(nativePath(targa));
    extract();
    expectOneWideMessage(NO_PREVIEW, MESSAGE_ICON_ERROR);
    EXPECT_EQ(readFile(map), sample.withoutPreview());
    EXPECT_FALSE(fileExists(targa));
}

struct NoPreviewCase {
    const char* name;
    Bytes map;
};

class NoPreviewTest : public ExtractPreviewTest,
                      public ::testing::WithParamInterface<NoPreviewCase> {};

TEST_P(NoPreviewTest, ShowsTheErrorBoxAndTouchesNothing) {
    writeFile(map, GetParam().map);
    extract();
    expectOneWideMessage(NO_PREVIEW, MESSAGE_ICON_ERROR);
    EXPECT_EQ(readFile(map), GetParam().map);
    EXPECT_FALSE(fileExists(targa));
}

INSTANTIATE_TEST_SUITE_P(
    Maps, NoPreviewTest,
    ::testing::Values(
        NoPreviewCase{"EmptyMap", {}},
        NoPreviewCase{"NoTypeNineteen",
                      concat({chunk(1, text("a")), container(2, {chunk(3, {})})})},
        NoPreviewCase{"OnlyNestedTypeNineteen", container(2, {chunk(19, text("deep"))})},
        NoPreviewCase{"FirstPreviewIsAContainer",
                      concat({container(19, {chunk(1, text("a"))}), chunk(19, text("later"))})}),
    [](const ::testing::TestParamInfo<NoPreviewCase>& info) { return info.param.name; });

TEST_F(ExtractPreviewTest, TargaPathThatIsAFolder) {
    const SampleMap sample = sampleMap();
    writeFile(map, sample.bytes());
    std::filesystem::create_directory(nativePath(targa));
    extract();
    expectOneWideMessage(L"Unable to open file:\n" + targa, MESSAGE_OK);
    EXPECT_EQ(readFile(map), sample.bytes());
}

TEST_F(ExtractPreviewTest, TargaPathNamingTheMapItselfIsRefused) {
    const SampleMap sample = sampleMap();
    writeFile(map, sample.bytes());
    std::filesystem::create_directory(nativePath(dir.file(L"sub")));
#ifdef _WIN32
    const std::wstring otherSpelling = dir.file(L"sub\\..\\ALPHA.V2.TED");
#else
    const std::wstring otherSpelling = dir.file(L"sub/../alpha.v2.ted");
#endif
    for (const std::wstring& same : {map, otherSpelling}) {
        shown.clear();
        extractPreview(same, map);
        expectOneWideMessage(L"The preview file must not be the map file itself.", MESSAGE_OK);
        EXPECT_EQ(readFile(map), sample.bytes());
    }
}

#if !defined(_WIN32) && !defined(UNDER_ADDRESS_SANITIZER)
} // namespace
#include <sys/resource.h>
namespace {

class StandardFailureTest : public ExtractPreviewTest {
protected:
    // Exits with 0 when the allocation failure was shown as the library's narrow text.
    void extractWithLittleMemory() {
        rlimit limit{512ull << 20, 512ull << 20};
        setrlimit(RLIMIT_AS, &limit);
        extract();
        const bool right = shown.size() == 1 && !shown[0].wide &&
                           shown[0].narrowText == std::bad_alloc().what() &&
                           shown[0].style == MESSAGE_OK;
        std::exit(right ? 0 : 1);
    }
};

TEST_F(StandardFailureTest, ShowsItsNarrowText) {
    // A 1 GiB preview in a sparse file, loaded by a child whose address space is too
    // small for it.
    {
        std::filesystem::path path = nativePath(map);
        writeFile(map, rawHeader(19, 0x40000000u));
        std::filesystem::resize_file(path, 8 + 0x40000000ull);
    }
    EXPECT_EXIT(extractWithLittleMemory(), ::testing::ExitedWithCode(0), "");
}
#endif

} // namespace
