// The main dialog's procedure on a real dialog made from resource 101, created modeless
// in this process, with the choosers replaced and the message boxes recorded.
#include "file_choosers.h"
#include "main_dialog.h"
#include "message_box.h"
#include "resource.h"
#include "test_support.h"
#include "utf8.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <shellapi.h>
#include <shlobj.h>
#include <tuple>
#include <vector>

namespace {

// A drop handle as the shell makes one: a DROPFILES header and the names, each closed by
// a null, the list by one more.
HDROP makeDrop(const std::vector<std::wstring>& names) {
    std::wstring list;
    for (const std::wstring& name : names)
        list += name + L'\0';
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                 sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::copy(list.begin(), list.end(), reinterpret_cast<wchar_t*>(header + 1));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

struct ShownChooser {
    ChooserKind kind;
    HWND owner;
    std::wstring initialName;
};

class MainDialogTest : public ::testing::Test {
protected:
    // The n-th chooser runs `onChooser`, then answers with answers[n] ("" or none: cancel).
    void SetUp() override {
        setMessageHook([this](const ShownMessage& m) { shown.push_back(m); });
        setChooserRunner([this](OPENFILENAMEW& record, ChooserKind kind) {
            choosers.push_back({kind, record.hwndOwner, record.lpstrFile});
            if (onChooser)
                onChooser();
            const std::size_t n = choosers.size() - 1;
            const std::wstring answer = n < answers.size() ? answers[n] : L"";
            lstrcpynW(record.lpstrFile, answer.c_str(), static_cast<int>(record.nMaxFile));
            return ChooserOutcome{!answer.empty(), 0};
        });
    }
    void TearDown() override {
        DestroyWindow(dialog);
        setChooserRunner(nullptr);
        setMessageHook(nullptr);
    }

    void open(const wchar_t* startPath) {
        DestroyWindow(dialog);
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
    bool ended() const { return !IsWindowVisible(dialog); }

    TempDir dir;
    const std::wstring folder = dir.path().wstring();
    const std::wstring map = dir.file(L"alpha.v2.ted");
    HWND dialog = nullptr;
    std::vector<ShownMessage> shown;
    std::vector<ShownChooser> choosers;
    std::vector<std::wstring> answers;
    std::function<void()> onChooser;
};

TEST_F(MainDialogTest, StartPathFillsTheFieldAndEnablesTheButton) {
    writeFile(map, {});
    const std::tuple<const wchar_t*, std::wstring, bool> starts[] = {
        {map.c_str(), map, true}, {folder.c_str(), folder, true}, {nullptr, L"", false}};
    for (const auto& [start, text, enabled] : starts) {
        open(start);
        EXPECT_EQ(field(), text);
        EXPECT_EQ(extractEnabled(), enabled) << text;
    }
    open(folder.c_str());
    type(folder + L"\\");
    EXPECT_FALSE(extractEnabled()) << "a folder only until the next edit";
    EXPECT_TRUE(shown.empty());
}

TEST_F(MainDialogTest, ChangeNotificationAppliesTheRuleToTheControlThatSentIt) {
    writeFile(map, {});
    open(nullptr);
    type(map);
    EXPECT_TRUE(extractEnabled());
    const std::wstring longText = L"C:\\" + std::wstring(1000, L'\u00e4') + L".ted";
    type(longText);
    EXPECT_FALSE(extractEnabled());
    EXPECT_EQ(field(), longText) << "read whole";

    HWND other = CreateWindowW(L"Static", map.c_str(), WS_CHILD, 0, 0, 10, 10, dialog,
                               reinterpret_cast<HMENU>(4711), nullptr, nullptr);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(4711, EN_CHANGE), reinterpret_cast<LPARAM>(other));
    EXPECT_TRUE(extractEnabled()) << "the sender names an existing file";
    SetWindowTextW(other, dir.file(L"missing.ted").c_str());
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(4711, EN_CHANGE), reinterpret_cast<LPARAM>(other));
    EXPECT_FALSE(extractEnabled());
}

// The field takes the first name dropped; an empty list or a name of 260 characters or
// more (it would come cut short) changes nothing. Every drop is released.
TEST_F(MainDialogTest, DropFillsTheFieldWithTheFirstName) {
    const std::wstring other = dir.file(L"beta.ted");
    writeFile(map, {});
    writeFile(other, {});
    const std::wstring longest = L"C:\\" + std::wstring(252, L'x') + L".ted";
    const std::tuple<std::vector<std::wstring>, std::wstring, bool> drops[] = {
        {{map}, map, true},
        {{other, map}, other, true},
        {{folder}, folder, false},
        {{longest}, longest, false},
        {{longest + L"x"}, L"before", false},
        {{}, L"before", false},
    };
    open(nullptr);
    for (const auto& [names, text, enabled] : drops) {
        type(L"before");
        const HDROP drop = makeDrop(names);
        SendMessageW(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        EXPECT_EQ(field(), text);
        EXPECT_EQ(extractEnabled(), enabled) << text;
        EXPECT_EQ(GlobalSize(drop), 0u) << "released by DragFinish";
    }
}

TEST_F(MainDialogTest, BrowseFillsTheFieldFromTheMapChooser) {
    writeFile(map, {});
    open(folder.c_str());
    answers = {L"", map};
    click(IDC_BROWSE);
    EXPECT_EQ(field(), folder) << "cancelled";
    EXPECT_TRUE(extractEnabled());
    click(IDC_BROWSE);
    EXPECT_EQ(field(), map);
    EXPECT_TRUE(extractEnabled());
    ASSERT_EQ(choosers.size(), 2u);
    EXPECT_EQ(choosers[1].kind, ChooserKind::Open);
    EXPECT_EQ(choosers[1].owner, dialog);
    EXPECT_TRUE(shown.empty());
}

// A successful extraction is the end-to-end test's; here a cancel and a failure.
TEST_F(MainDialogTest, ExtractOffersTheBareNameAndReportsAFailure) {
    const Bytes noPreview = chunk(1, text("MAP1"));
    writeFile(map, noPreview);
    open(map.c_str());
    answers = {L"", dir.file(L"picture.tga")};
    click(IDC_EXTRACT);
    EXPECT_TRUE(shown.empty()) << "cancelled";
    click(IDC_EXTRACT);
    ASSERT_EQ(choosers.size(), 2u);
    EXPECT_EQ(choosers[1].kind, ChooserKind::Save);
    EXPECT_EQ(choosers[1].owner, dialog);
    EXPECT_EQ(choosers[1].initialName, L"alpha.v2");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, L"The map does not contain a preview image.\nNothing done.");
    EXPECT_EQ(shown[0].style, 0x10u) << "MB_ICONERROR";
    EXPECT_FALSE(ended());
    EXPECT_EQ(readFile(map), noPreview);
    EXPECT_FALSE(fileExists(dir.file(L"picture.tga")));
}

// A standard exception is shown with its narrow text, a wexception with its message.
TEST_F(MainDialogTest, FailureInAHandlerIsReportedAndEndsTheDialog) {
    writeFile(map, {});
    const std::tuple<int, std::function<void()>, bool, std::wstring> failures[] = {
        {IDC_BROWSE, [] { throw std::bad_alloc(); }, false, fromUtf8(std::bad_alloc().what())},
        {IDC_EXTRACT, [] { throw IOException(L"Unable to open file:\nX"); }, true,
         L"Unable to open file:\nX"},
    };
    for (const auto& [button, failure, wide, text] : failures) {
        shown.clear();
        open(map.c_str());
        onChooser = failure;
        click(button);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].wide, wide);
        EXPECT_EQ(wide ? shown[0].text : fromUtf8(shown[0].narrowText), text);
        EXPECT_EQ(shown[0].style, 0u) << "MB_OK";
        EXPECT_TRUE(ended());
    }
}

} // namespace
