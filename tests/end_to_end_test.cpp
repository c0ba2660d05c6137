// PreviewExtractor.exe as a user meets it: started with arguments, driven through its
// windows from this separate process, results checked on disk. Needs a display. Each
// runs in English and, with LANG=de_DE.UTF-8, the tests of the user's language in German.
#include "dialog_driver.h"
#include "resource.h"
#include "string_table.h"
#include "test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace {

class EndToEndTest : public ::testing::Test {
protected:
    static std::wstring field(HWND dialog) { return textOf(GetDlgItem(dialog, IDC_MAP_PATH)); }
    // While the tool replaces it, the file may be missing or held for a moment.
    static bool fileBecomes(const std::wstring& path, const Bytes& content) {
        return waitUntil([&] {
            std::ifstream in(nativePath(path), std::ios::binary);
            return in && Bytes(std::istreambuf_iterator<char>(in), {}) == content;
        });
    }

    TempDir dir;
    const SampleMap sample = sampleMap();
};

// The map is given relative to the tool's folder, in a folder with a space in its name;
// the Targa file is typed without extension in another folder, where it exists already.
TEST_F(EndToEndTest, ExtractsThroughTheSaveChooserAskingBeforeOverwriting) {
    CreateDirectoryW(dir.file(L"my maps").c_str(), nullptr);
    CreateDirectoryW(dir.file(L"out").c_str(), nullptr);
    const std::wstring map = L"my maps\\alpha.v2.ted", targa = dir.file(L"out\\picture.tga");
    writeFile(dir.file(map), sample.bytes());
    writeFile(targa, text("keep me"));
    Tool tool({map}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), map);
    ASSERT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_EXTRACT)));
    click(GetDlgItem(dialog, IDC_EXTRACT));
    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(textOf(nameBox(chooser)), L"alpha.v2");

    for (const int answer : {IDNO, IDYES}) {
        chooseName(chooser, dir.file(L"out\\picture"));
        HWND question = tool.messageBox(chooser);
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(readFile(targa), text("keep me"));
        EXPECT_EQ(readFile(dir.file(map)), sample.bytes());
        click(GetDlgItem(question, answer));
        EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(question); }));
    }
    EXPECT_TRUE(fileBecomes(targa, sample.preview));
    EXPECT_TRUE(fileBecomes(dir.file(map), sample.withoutPreview()));
    EXPECT_FALSE(fileExists(dir.file(L"out\\picture")));
    EXPECT_TRUE(waitUntil([&] { return tool.windows().size() == 1; })) << "no message";
    EXPECT_EQ(field(dialog), map) << "the dialog stays for the next extraction";
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

// The text as the string table has it for the user's language, with the system's own
// default caption in that language.
TEST_F(EndToEndTest, NoPreviewIsReportedInTheUsersLanguage) {
    const std::wstring map = dir.file(L"plain.ted");
    const Bytes content = concat({chunk(1, text("MAP1")), container(10, {chunk(19, text("x"))})});
    writeFile(map, content);
    Tool tool({map}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    click(GetDlgItem(dialog, IDC_EXTRACT));
    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);
    chooseName(chooser, dir.file(L"plain.tga"));
    HWND box = tool.messageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(textOf(GetDlgItem(box, MESSAGE_TEXT)), loadResourceString(IDS_NO_PREVIEW));
    EXPECT_EQ(textOf(box), germanExpected() ? L"Fehler" : L"Error");
    click(GetDlgItem(box, IDOK));
    EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(box); }));
    EXPECT_EQ(readFile(map), content);
    EXPECT_FALSE(fileExists(dir.file(L"plain.tga")));
}

// The first argument names nothing and is dropped without a message; the second names a
// map and is never looked at. Exit, Escape, Enter and the close box each end with 0.
TEST_F(EndToEndTest, OnlyAnExistingFirstArgumentCountsAndEveryWayOutEndsWithZero) {
    writeFile(dir.file(L"alpha.ted"), sample.bytes());
    const std::vector<std::pair<const char*, std::function<void(HWND)>>> ways = {
        {"Exit", [](HWND d) { click(GetDlgItem(d, IDCANCEL)); }},
        {"Escape", [](HWND d) { press(GetDlgItem(d, IDC_MAP_PATH), VK_ESCAPE); }},
        {"Enter", [](HWND d) { press(GetDlgItem(d, IDC_MAP_PATH), VK_RETURN); }},
        {"close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& [name, end] : ways) {
        SCOPED_TRACE(name);
        Tool tool({dir.file(L"missing.ted"), dir.file(L"alpha.ted")}, dir.path().wstring());
        HWND dialog = tool.mainDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(field(dialog), L"");
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_EXTRACT)));
        EXPECT_EQ(tool.windows().size(), 1u) << "no message";
        end(dialog);
        EXPECT_EQ(tool.exitCode(), 0);
    }
}

} // namespace
