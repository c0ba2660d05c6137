// The dialog's command, its message boxes, and the name it offers for the Targa file.
#include "message_box.h"
#include "preview.h"
#include "string_table.h"
#include "test_support.h"
#include "text_ids.h"

#include <gtest/gtest.h>

namespace {

std::vector<std::pair<std::wstring, unsigned>> shown;

// Shown: string 105 (error icon) for no preview, a failure's message (MB_OK), nothing on success.
TEST(ExtractPreviewTest, ShowsEveryOutcomeButSuccess) {
    const auto showing = presentMessage;
    presentMessage = [](const ShownMessage& m) {
        shown.push_back({m.wide ? m.text : L"(narrow)", m.style});
    };
    const TempDir dir;
    const std::wstring map = dir.file(L"alpha.ted"), targa = dir.file(L"alpha.tga");
    writeFile(map, sampleMap().bytes());
    extractPreview(targa, map);
    EXPECT_TRUE(shown.empty()) << "success shows nothing";
    extractPreview(targa, map);
    extractPreview(map, map);
    presentMessage = showing;
    EXPECT_EQ(shown, (decltype(shown){
                         {loadResourceString(IDS_NO_PREVIEW), MESSAGE_ICON_ERROR},
                         {L"The preview file must not be the map file itself.", MESSAGE_OK}}));
}

// A picture that shrinks while insert reads it is named in the failure; the map is kept.
TEST(InsertionTest, PictureThatShrinksIsNamed) {
    const TempDir dir;
    const std::wstring map = dir.file(L"m.ted"), picture = dir.file(L"p.tga");
    writeFile(map, {});
    writeFile(picture, tga(0, 0, 3, 0, 0, 2, 1, 8, {1, 2}));
    afterPictureHeaderRead = [](const std::wstring& path) {
        std::filesystem::resize_file(nativePath(path), 19);
    };
    EXPECT_EQ(messageOf([&] { runInsertion(picture, map); }), L"Unable to read file:\n" + picture);
    afterPictureHeaderRead = nullptr;
    EXPECT_TRUE(readFile(map).empty());
}

} // namespace
