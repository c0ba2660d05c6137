// The dialog's command and the name it offers: every outcome but success in a message box
// as the user sees it, and the map's bare name for the Targa file.
#include "message_box.h"
#include "preview.h"
#include "preview_name.h"
#include "string_table.h"
#include "test_support.h"
#include "text_ids.h"

#include <gtest/gtest.h>

namespace {

constexpr unsigned MB_OK_STYLE = 0x00, MB_ICONERROR_STYLE = 0x10;

class ExtractPreviewTest : public ::testing::Test {
protected:
    void SetUp() override {
        setMessageHook([this](const ShownMessage& m) { shown.push_back(m); });
    }
    void TearDown() override { setMessageHook(nullptr); }

    TempDir dir;
    const std::wstring map = dir.file(L"alpha.ted"), targa = dir.file(L"alpha.tga");
    std::vector<ShownMessage> shown;
};

// Success shows nothing. A map without a preview shows the string table's text with the
// error icon, a failure its message with MB_OK.
TEST_F(ExtractPreviewTest, ShowsEveryOutcomeButSuccess) {
    const SampleMap sample = sampleMap();
    writeFile(map, sample.bytes());
    extractPreview(targa, map);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(readFile(map), sample.withoutPreview());
    EXPECT_EQ(readFile(targa), sample.preview);
    extractPreview(targa, map);
    extractPreview(targa, dir.file(L"missing.ted"));
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_TRUE(shown[0].wide && shown[1].wide);
    EXPECT_EQ(shown[0].text, loadResourceString(IDS_NO_PREVIEW));
    EXPECT_EQ(shown[0].style, MB_ICONERROR_STYLE);
    EXPECT_EQ(shown[1].text, L"Unable to find file:\n" + dir.file(L"missing.ted"));
    EXPECT_EQ(shown[1].style, MB_OK_STYLE);
    EXPECT_EQ(readFile(map), sample.withoutPreview());
}

// The name offered for the Targa file: the map's file name without its last extension.
TEST(PreviewNameTest, BareFileNameDropsFolderAndLastExtension) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"maps/alpha.v2.ted", L"alpha.v2"}, {L"maps.old/alpha", L"alpha"},
        {L"a map.b c", L"a map.b c"},        {L"maps/.ted", L""},
#ifdef _WIN32
        {L"C:alpha.ted", L"alpha"},          {L"C:\\games\\maps\\", L"maps\\"},
#else
        {L"games/maps/", L"maps/"},          {L"maps\\alpha.ted", L"maps\\alpha"},
#endif
    };
    for (const auto& [path, bare] : cases)
        EXPECT_EQ(bareFileName(path), bare) << path;
    EXPECT_EQ(defaultPreviewPath(L"maps/alpha.v2.ted"), L"maps/alpha.v2.tga");
}

} // namespace
