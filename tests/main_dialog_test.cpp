// The main dialog's procedure on a real dialog made from resource 101, created modeless
// in this process, with the choosers replaced and the message boxes recorded.
#include "file_choosers.h"
#include "main_dialog.h"
#include "message_box.h"
#include "resource.h"
#include "test_support.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <shellapi.h>
#include <shlobj.h>
#include <vector>

namespace {

const std::wstring NO_PREVIEW = L"The map does not contain a preview image.\nNothing done.";

// A drop handle as the shell makes one: a DROPFILES header and the names, each closed by
// a null, the list by one more.
HDROP makeDrop(const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const std::wstring& name : names)
        list += name + L'\0';
    list += L'\0';
    const std::size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::copy(list.begin(), list.end(), reinterpret_cast<wchar_t*>(header + 1));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// DragFinish frees the handle's memory.
bool released(HDROP drop) {
    return GlobalSize(drop) == 0;
}

// A chooser the test scripts: it answers with the next of `answers` ("" = cancel) and
// remembers what it was shown.
struct ScriptedChooser {
    ChooserKind kind;
    HWND owner;
    std::wstring initialName;
};

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        setMessageHook([this](const ShownMessage& m) { shown.push_back(m); });
        setChooserRunner([this](OPENFILENAMEW& record, ChooserKind kind) {
            choosers.push_back({kind, record.hwndOwner, record.lpstrFile});
            if (onChooser)
                onChooser();
            if (answers.empty() || answers.front().empty()) {
                if (!answers.empty())
                    answers.erase(answers.begin());
                return ChooserOutcome{FALSE, 0};
            }
            lstrcpynW(record.lpstrFile, answers.front().c_str(), static_cast<int>(record.nMaxFile));
            answers.erase(answers.begin());
            return ChooserOutcome{TRUE, 0};
        });
    }

    void TearDown() override {
        if (dialog)
            DestroyWindow(dialog);
        setChooserRunner(nullptr);
        setMessageHook(nullptr);
    }

    void open(const wchar_t* startPath) {
        dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                    MainDialog, reinterpret_cast<LPARAM>(startPath));
        ASSERT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOWNA);
    }

    HWND item(int id) const { return GetDlgItem(dialog, id); }
    std::wstring field() const { return readWindowText(item(IDC_MAP_PATH)); }
    bool extractEnabled() const { return IsWindowEnabled(item(IDC_EXTRACT)) != FALSE; }
    void type(const std::wstring& text) { SetWindowTextW(item(IDC_MAP_PATH), text.c_str()); }
    void click(int id) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(item(id)));
    }
    void drop(HDROP handle) {
        SendMessageW(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(handle), 0);
    }
    bool ended() const { return !IsWindowVisible(dialog); }

    TempDir dir;
    std::wstring map = dir.file(L"alpha.v2.ted");
    std::wstring targa = dir.file(L"picture.tga");
    HWND dialog = nullptr;
    std::vector<ShownMessage> shown;
    std::vector<ScriptedChooser> choosers;
    std::vector<std::wstring> answers;
    std::function<void()> onChooser;
};

TEST_F(MainDialogTest, StartsWithAnExistingFile) {
    writeFile(map, sampleMap().bytes());
    open(map.c_str());
    EXPECT_EQ(field(), map);
    EXPECT_TRUE(extractEnabled());
    EXPECT_TRUE(shown.empty());
}

TEST_F(MainDialogTest, StartsWithAFolderEnabledUntilTheNextEdit) {
    const std::wstring folder = dir.path().wstring();
    open(folder.c_str());
    EXPECT_EQ(field(), folder);
    EXPECT_TRUE(extractEnabled());
    type(folder + L"\\");
    EXPECT_FALSE(extractEnabled());
}

TEST_F(MainDialogTest, StartsWithoutAPath) {
    open(nullptr);
    EXPECT_EQ(field(), L"");
    EXPECT_FALSE(extractEnabled());
}

TEST_F(MainDialogTest, EditsEnableTheButtonExactlyForExistingFiles) {
    writeFile(map, {});
    open(nullptr);
    const std::wstring partial = map.substr(0, map.size() - 1);
    type(partial);
    EXPECT_FALSE(extractEnabled());
    type(map);
    EXPECT_TRUE(extractEnabled());
    type(map + L"x");
    EXPECT_FALSE(extractEnabled());
    type(map);
    EXPECT_TRUE(extractEnabled());
    type(L"");
    EXPECT_FALSE(extractEnabled());
}

TEST_F(MainDialogTest, ChangeNotificationReadsTheControlThatSentIt) {
    writeFile(map, {});
    open(nullptr);
    HWND other = CreateWindowW(L"Static", map.c_str(), WS_CHILD, 0, 0, 10, 10, dialog,
                               reinterpret_cast<HMENU>(4711), nullptr, nullptr);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(4711, EN_CHANGE), reinterpret_cast<LPARAM>(other));
    EXPECT_TRUE(extractEnabled()) << "the sender names an existing file";
    EXPECT_EQ(field(), L"");
    SetWindowTextW(other, dir.file(L"missing.ted").c_str());
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(4711, EN_CHANGE), reinterpret_cast<LPARAM>(other));
    EXPECT_FALSE(extractEnabled());
}

TEST_F(MainDialogTest, FieldTextIsReadWhole) {
    open(nullptr);
    const std::wstring longText = L"C:\\" + std::wstring(1000, L'\u00e4') + L".ted";
    type(longText);
    EXPECT_EQ(field(), longText);
}

TEST_F(MainDialogTest, DropFillsTheFieldWithTheFirstName) {
    const std::wstring second = dir.file(L"beta.ted");
    writeFile(map, {});
    writeFile(second, {});
    open(nullptr);

    HDROP one = makeDrop({map});
    drop(one);
    EXPECT_EQ(field(), map);
    EXPECT_TRUE(extractEnabled());
    EXPECT_TRUE(released(one));

    type(L"");
    HDROP several = makeDrop({second, map});
    drop(several);
    EXPECT_EQ(field(), second);
    EXPECT_TRUE(extractEnabled());
    EXPECT_TRUE(released(several));
}

TEST_F(MainDialogTest, DroppedFolderFillsTheFieldAndDisablesTheButton) {
    writeFile(map, {});
    open(map.c_str());
    const std::wstring folder = dir.path().wstring();
    HDROP handle = makeDrop({folder});
    drop(handle);
    EXPECT_EQ(field(), folder);
    EXPECT_FALSE(extractEnabled());
    EXPECT_TRUE(released(handle));
}

TEST_F(MainDialogTest, OverlongOrEmptyDropIsIgnoredAndReleased) {
    writeFile(map, {});
    open(map.c_str());
    HDROP overlong = makeDrop({L"C:\\" + std::wstring(256, L'x') + L".ted"}); // 263 characters
    drop(overlong);
    EXPECT_EQ(field(), map);
    EXPECT_TRUE(extractEnabled());
    EXPECT_TRUE(released(overlong));

    HDROP empty = makeDrop({});
    drop(empty);
    EXPECT_EQ(field(), map);
    EXPECT_TRUE(released(empty));

    HDROP longest = makeDrop({L"C:\\" + std::wstring(252, L'x') + L".ted"}); // 259 characters
    drop(longest);
    EXPECT_EQ(field().size(), 259u);
    EXPECT_TRUE(released(longest));
}

TEST_F(MainDialogTest, BrowseFillsTheFieldFromTheMapChooser) {
    writeFile(map, {});
    open(nullptr);
    answers = {map, dir.path().wstring()};
    click(IDC_BROWSE);
    ASSERT_EQ(choosers.size(), 1u);
    EXPECT_EQ(choosers[0].kind, ChooserKind::Open);
    EXPECT_EQ(choosers[0].owner, dialog);
    EXPECT_EQ(field(), map);
    EXPECT_TRUE(extractEnabled());

    click(IDC_BROWSE);
    EXPECT_EQ(field(), dir.path().wstring());
    EXPECT_FALSE(extractEnabled()) << "a folder";
}

TEST_F(MainDialogTest, CancelledBrowseChangesNothing) {
    const std::wstring folder = dir.path().wstring();
    open(folder.c_str());
    answers = {L""};
    click(IDC_BROWSE);
    EXPECT_EQ(choosers.size(), 1u);
    EXPECT_EQ(field(), folder);
    EXPECT_TRUE(extractEnabled());
}

TEST_F(MainDialogTest, ExtractOffersTheBareNameAndExtracts) {
    const SampleMap sample = sampleMap();
    writeFile(map, sample.bytes());
    open(map.c_str());
    answers = {targa};
    click(IDC_EXTRACT);
    ASSERT_EQ(choosers.size(), 1u);
    EXPECT_EQ(choosers[0].kind, ChooserKind::Save);
    EXPECT_EQ(choosers[0].owner, dialog);
    EXPECT_EQ(choosers[0].initialName, L"alpha.v2");
    EXPECT_TRUE(shown.empty()) << "success shows nothing";
    EXPECT_EQ(readFile(targa), sample.preview);
    EXPECT_EQ(readFile(map), sample.withoutPreview());
    EXPECT_FALSE(ended());
    EXPECT_EQ(field(), map);
    EXPECT_TRUE(extractEnabled());

    // The same map again: it has no preview any more.
    answers = {dir.file(L"again.tga")};
    click(IDC_EXTRACT);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, NO_PREVIEW);
    EXPECT_EQ(shown[0].style, 0x10u);
    EXPECT_FALSE(fileExists(dir.file(L"again.tga")));
    EXPECT_EQ(readFile(map), sample.withoutPreview());
}

TEST_F(MainDialogTest, CancelledExtractTouchesNothing) {
    const SampleMap sample = sampleMap();
    writeFile(map, sample.bytes());
    open(map.c_str());
    answers = {L""};
    click(IDC_EXTRACT);
    EXPECT_EQ(choosers.size(), 1u);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(readFile(map), sample.bytes());
    EXPECT_FALSE(fileExists(targa));
}

TEST_F(MainDialogTest, RelativeMapPathSurvivesAChooserThatMovesTheCurrentFolder) {
    const SampleMap sample = sampleMap();
    writeFile(map, sample.bytes());
    TempDir elsewhere;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    open(L"alpha.v2.ted");
    onChooser = [&] { std::filesystem::current_path(elsewhere.path()); };
    answers = {targa};
    click(IDC_EXTRACT);
    std::filesystem::current_path(before);
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(readFile(map), sample.withoutPreview());
    EXPECT_EQ(readFile(targa), sample.preview);
}

TEST_F(MainDialogTest, OkAndCancelEndTheDialog) {
    for (int id : {IDOK, IDCANCEL}) {
        open(nullptr);
        click(4711);
        click(IDC_MAP_PATH);
        EXPECT_FALSE(ended()) << "other commands do not end it";
        click(id);
        EXPECT_TRUE(ended()) << id;
        DestroyWindow(dialog);
        dialog = nullptr;
    }
    EXPECT_TRUE(shown.empty());
}

TEST_F(MainDialogTest, FailureInAHandlerIsReportedAndEndsTheDialog) {
    open(nullptr);
    onChooser = [] { throw std::bad_alloc(); };
    click(IDC_BROWSE);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_FALSE(shown[0].wide);
    EXPECT_EQ(shown[0].narrowText, std::bad_alloc().what());
    EXPECT_EQ(shown[0].style, 0u);
    EXPECT_TRUE(ended());
    DestroyWindow(dialog);

    shown.clear();
    writeFile(map, {});
    open(map.c_str());
    onChooser = [] { throw IOException(L"Unable to open file:\nX"); };
    click(IDC_EXTRACT);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].wide);
    EXPECT_EQ(shown[0].text, L"Unable to open file:\nX");
    EXPECT_EQ(shown[0].style, 0u);
    EXPECT_TRUE(ended());
}

} // namespace
