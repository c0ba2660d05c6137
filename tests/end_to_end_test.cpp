// PreviewExtractor.exe as a user meets it: started with arguments, driven through its
// windows from this separate process, results checked on disk. Needs a display.
#include "dialog_driver.h"
#include "resource.h"
#include "test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int FILE_TYPES = 0x470; // the choosers' file type list (cmb1)

bool germanExpected() {
    const char* expected = std::getenv("EXPECTED_LANGUAGE");
    return expected && std::string(expected) == "de";
}

std::vector<std::wstring> comboItems(HWND combo) {
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring item(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) + 1, L'\0');
        item.resize(SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data())));
        items.push_back(item);
    }
    return items;
}

HWND nameBoxOf(HWND chooser) {
    return findDescendant(GetDlgItem(chooser, NAME_BOX), L"Edit");
}

// Types `name` into the chooser's name box and confirms it.
void chooseName(HWND chooser, const std::wstring& name) {
    setText(nameBoxOf(chooser), name);
    click(GetDlgItem(chooser, IDOK));
}

class EndToEndTest : public ::testing::Test {
protected:
    bool fileBecomes(const std::wstring& path, const Bytes& content) {
        return waitUntil([&] { return fileExists(path) && readFile(path) == content; });
    }

    TempDir dir;
    SampleMap sample = sampleMap();
};

TEST_F(EndToEndTest, ExtractsThroughTheSaveChooser) {
    CreateDirectoryW(dir.file(L"my maps").c_str(), nullptr);
    const std::wstring map = dir.file(L"my maps\\alpha.v2.ted");
    const std::wstring targa = dir.file(L"saved.tga");
    writeFile(map, sample.bytes());
    Tool tool({map}, dir.path().wstring());

    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), map);
    ASSERT_TRUE(buttonEnabled(dialog));
    click(GetDlgItem(dialog, IDC_EXTRACT));

    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(textOf(nameBoxOf(chooser)), L"alpha.v2");
    const std::vector<std::wstring> types = comboItems(GetDlgItem(chooser, FILE_TYPES));
    EXPECT_EQ(types, (std::vector<std::wstring>{L"Targa Files (*.tga)", L"All Files (*.*)"}));
    chooseName(chooser, targa);

    EXPECT_TRUE(fileBecomes(targa, sample.preview));
    EXPECT_TRUE(fileBecomes(map, sample.withoutPreview()));
    EXPECT_TRUE(waitUntil([&] { return tool.windows().size() == 1; })) << "no message";
    EXPECT_EQ(field(dialog), map) << "the dialog stays for the next extraction";

    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

TEST_F(EndToEndTest, BrowseFillsTheFieldFromTheOpenChooser) {
    const std::wstring map = dir.file(L"alpha.ted");
    writeFile(map, sample.bytes());
    Tool tool({}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), L"");
    EXPECT_FALSE(buttonEnabled(dialog));

    click(GetDlgItem(dialog, IDC_BROWSE));
    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(textOf(nameBoxOf(chooser)), L"");
    const std::vector<std::wstring> types = comboItems(GetDlgItem(chooser, FILE_TYPES));
    EXPECT_EQ(types, (std::vector<std::wstring>{L"Map Files (*.ted)", L"All Files (*.*)"}));
    chooseName(chooser, map);

    EXPECT_TRUE(waitUntil([&] { return field(dialog) == map && buttonEnabled(dialog); }));
    EXPECT_FALSE(tool.hasWindow(chooser));
    press(GetDlgItem(dialog, IDC_MAP_PATH), VK_ESCAPE);
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(readFile(map), sample.bytes());
}

// Runs in English and, with LANG=de_DE.UTF-8, in German.
TEST_F(EndToEndTest, NoPreviewIsReportedInTheUsersLanguage) {
    const bool german = germanExpected();
    const std::wstring map = dir.file(L"plain.ted");
    const Bytes content = concat({chunk(1, text("MAP1")), container(10, {chunk(19, text("x"))})});
    writeFile(map, content);
    Tool tool({map}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(textOf(GetDlgItem(dialog, IDC_BROWSE)), german ? L"Durchsuchen" : L"Browse");
    EXPECT_EQ(textOf(GetDlgItem(dialog, IDCANCEL)), german ? L"E&nde" : L"E&xit");

    click(GetDlgItem(dialog, IDC_EXTRACT));
    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);
    const std::vector<std::wstring> types = comboItems(GetDlgItem(chooser, FILE_TYPES));
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types[0], german ? L"Targa Dateien (*.tga)" : L"Targa Files (*.tga)");
    chooseName(chooser, dir.file(L"plain.tga"));

    HWND box = tool.messageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(textOf(GetDlgItem(box, MESSAGE_TEXT)),
              german ? L"Die Map verf\u00fcgt \u00fcber keine Vorschau.\nKeine \u00c4nderung."
                     : L"The map does not contain a preview image.\nNothing done.");
    wchar_t caption[32] = {};
    GetWindowTextW(box, caption, 32);
    EXPECT_EQ(std::wstring(caption), german ? L"Fehler" : L"Error");
    click(GetDlgItem(box, IDOK));

    EXPECT_TRUE(waitUntil([&] { return !tool.hasWindow(box); }));
    EXPECT_EQ(readFile(map), content);
    EXPECT_FALSE(fileExists(dir.file(L"plain.tga")));
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

TEST_F(EndToEndTest, FirstArgumentNamingNothingIsDroppedSilently) {
    Tool tool({dir.file(L"missing.ted")}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), L"");
    EXPECT_FALSE(buttonEnabled(dialog));
    EXPECT_EQ(tool.windows().size(), 1u) << "no message";
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

TEST_F(EndToEndTest, OnlyTheFirstArgumentCounts) {
    const std::wstring map = dir.file(L"alpha.ted");
    writeFile(map, sample.bytes());
    {
        Tool tool({map, dir.file(L"missing.ted")}, dir.path().wstring());
        HWND dialog = tool.mainDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(field(dialog), map);
        EXPECT_TRUE(buttonEnabled(dialog));
        click(GetDlgItem(dialog, IDCANCEL));
        EXPECT_EQ(tool.exitCode(), 0);
    }
    Tool tool({dir.file(L"missing.ted"), map}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), L"");
    EXPECT_FALSE(buttonEnabled(dialog));
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

// The map is given relative to the tool's folder, the Targa file is typed in another
// folder without extension: the chooser may move the current folder there.
TEST_F(EndToEndTest, TypedNameGetsTheTargaExtension) {
    CreateDirectoryW(dir.file(L"out").c_str(), nullptr);
    writeFile(dir.file(L"alpha.ted"), sample.bytes());
    Tool tool({L"alpha.ted"}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), L"alpha.ted");
    click(GetDlgItem(dialog, IDC_EXTRACT));
    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(textOf(nameBoxOf(chooser)), L"alpha");
    chooseName(chooser, dir.file(L"out\\picture"));

    EXPECT_TRUE(fileBecomes(dir.file(L"out\\picture.tga"), sample.preview));
    EXPECT_TRUE(fileBecomes(dir.file(L"alpha.ted"), sample.withoutPreview()));
    EXPECT_FALSE(fileExists(dir.file(L"out\\picture")));
    EXPECT_TRUE(waitUntil([&] { return tool.windows().size() == 1; })) << "no message";
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

TEST_F(EndToEndTest, ExistingTargaFileIsOverwrittenOnlyAfterConfirmation) {
    const std::wstring map = dir.file(L"alpha.ted");
    const std::wstring targa = dir.file(L"old.tga");
    writeFile(map, sample.bytes());
    writeFile(targa, text("keep me"));
    Tool tool({map}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    click(GetDlgItem(dialog, IDC_EXTRACT));
    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);

    chooseName(chooser, targa);
    HWND question = tool.messageBox(chooser);
    ASSERT_NE(question, nullptr);
    click(GetDlgItem(question, IDNO));
    EXPECT_TRUE(waitUntil([&] { return !tool.hasWindow(question); }));
    EXPECT_TRUE(tool.hasWindow(chooser)) << "declining returns to the chooser";
    EXPECT_EQ(readFile(targa), text("keep me"));
    EXPECT_EQ(readFile(map), sample.bytes());

    chooseName(chooser, targa);
    question = tool.messageBox(chooser);
    ASSERT_NE(question, nullptr);
    click(GetDlgItem(question, IDYES));
    EXPECT_TRUE(fileBecomes(targa, sample.preview));
    EXPECT_TRUE(fileBecomes(map, sample.withoutPreview()));
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

TEST_F(EndToEndTest, ExitEscapeEnterAndTheCloseBoxEndWithZero) {
    const std::vector<std::pair<const char*, std::function<void(HWND)>>> ways = {
        {"Exit", [](HWND d) { click(GetDlgItem(d, IDCANCEL)); }},
        {"Escape", [](HWND d) { press(GetDlgItem(d, IDC_MAP_PATH), VK_ESCAPE); }},
        {"Enter", [](HWND d) { press(GetDlgItem(d, IDC_MAP_PATH), VK_RETURN); }},
        {"close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& [name, end] : ways) {
        SCOPED_TRACE(name);
        Tool tool({}, dir.path().wstring());
        HWND dialog = tool.mainDialog();
        ASSERT_NE(dialog, nullptr);
        end(dialog);
        EXPECT_EQ(tool.exitCode(), 0);
    }
}

// A folder given at start enables the button; its bare name "maps\\" is not a file name,
// so the chooser comes with an empty name box, and the extraction reports the folder.
TEST_F(EndToEndTest, FolderGivenAtStartIsReportedByTheExtraction) {
    CreateDirectoryW(dir.file(L"maps").c_str(), nullptr);
    const std::wstring folder = dir.file(L"maps\\");
    Tool tool({folder}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), folder);
    ASSERT_TRUE(buttonEnabled(dialog));
    click(GetDlgItem(dialog, IDC_EXTRACT));
    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(textOf(nameBoxOf(chooser)), L"");
    chooseName(chooser, dir.file(L"maps.tga"));

    HWND box = tool.messageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(textOf(GetDlgItem(box, MESSAGE_TEXT)), L"Unable to open file:\n" + folder);
    click(GetDlgItem(box, IDOK));
    EXPECT_TRUE(waitUntil([&] { return !tool.hasWindow(box); }));
    EXPECT_FALSE(fileExists(dir.file(L"maps.tga")));
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

} // namespace
