// The main dialog's procedure on a real dialog made from resource 101, in this process,
// with the choosers stood in for and the message boxes recorded.
#include "file_choosers.h"
#include "main_dialog.h"
#include "message_box.h"
#include "resource.h"
#include "test_support.h"
#include "utf8.h"
#include "wexception.h"

#include <gtest/gtest.h>

#include <cderr.h>
#include <functional>
#include <new>
#include <shellapi.h>
#include <shlobj.h>
#include <tuple>

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

const std::wstring REFUSED = L"(refused)"; // a chooser answer: the platform refused the name

struct ShownChooser {
    ChooserKind kind;
    HWND owner;
    std::wstring initialName;
};

class MainDialogTest;
MainDialogTest* running = nullptr; // the test the stand-ins report to

class MainDialogTest : public ::testing::Test {
protected:
    // The n-th chooser runs `onChooser`, moves the current folder as the platform's may,
    // and answers with answers[n]: a name, REFUSED, or "" (or none) for a cancel.
    void SetUp() override {
        std::filesystem::current_path(dir.path());
        running = this;
        presentMessage = [](const ShownMessage& m) { running->shown.push_back(m); };
        runChooserWindow = [](OPENFILENAMEW& record, ChooserKind kind) {
            return running->chooser(record, kind);
        };
    }
    void TearDown() override {
        DestroyWindow(dialog);
        runChooserWindow = realChooser;
        presentMessage = realMessage;
        std::filesystem::current_path(before);
    }

public:
    ChooserOutcome chooser(OPENFILENAMEW& record, ChooserKind kind) {
        choosers.push_back({kind, record.hwndOwner, record.lpstrFile});
        if (onChooser)
            onChooser();
        std::filesystem::current_path(elsewhere.path());
        const std::size_t n = choosers.size() - 1;
        const std::wstring answer = n < answers.size() ? answers[n] : L"";
        if (answer == REFUSED)
            return ChooserOutcome{FALSE, FNERR_INVALIDFILENAME};
        lstrcpynW(record.lpstrFile, answer.c_str(), static_cast<int>(record.nMaxFile));
        return ChooserOutcome{!answer.empty(), 0};
    }

protected:
    const ChooserRunner realChooser = runChooserWindow;
    void (*const realMessage)(const ShownMessage&) = presentMessage;
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

    const std::filesystem::path before = std::filesystem::current_path();
    TempDir dir, elsewhere;
    const std::wstring folder = dir.path().wstring(), map = dir.file(L"alpha.v2.ted");
    HWND dialog = nullptr;
    std::vector<ShownMessage> shown;
    std::vector<ShownChooser> choosers;
    std::vector<std::wstring> answers;
    std::function<void()> onChooser;
};

// A start path enables the button, even a folder; each edit then applies the rule (an
// existing file, relative to the current folder), on the text of the control that sent it.
TEST_F(MainDialogTest, StartPathAndEveryChangeSetTheButton) {
    writeFile(map, {});
    const std::tuple<const wchar_t*, std::wstring, bool> starts[] = {
        {map.c_str(), map, true}, {folder.c_str(), folder, true}, {nullptr, L"", false}};
    for (const auto& [start, text, enabled] : starts) {
        open(start);
        EXPECT_EQ(field(), text);
        EXPECT_EQ(extractEnabled(), enabled) << text;
    }
    const std::pair<std::wstring, bool> texts[] = {
        {L"alpha.v2.ted", true},
        {L".\\alpha.v2.ted", true},
        {L"beta.ted", false},
        {folder, false},
        {folder + L"\\", false},
        {L".", false},
        {map, true},
        {L"", false},
        {L"C:\\" + std::wstring(1000, L'\u00e4') + L".ted", false}};
    for (const auto& [text, enabled] : texts) {
        type(text);
        EXPECT_EQ(field(), text);
        EXPECT_EQ(extractEnabled(), enabled) << text;
    }
    HWND other = CreateWindowW(L"Static", map.c_str(), WS_CHILD, 0, 0, 10, 10, dialog,
                               reinterpret_cast<HMENU>(4711), nullptr, nullptr);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(4711, EN_CHANGE), reinterpret_cast<LPARAM>(other));
    EXPECT_TRUE(extractEnabled()) << "the sender names an existing file";
    EXPECT_TRUE(shown.empty());
}

// The first name dropped fills the field, but not one of 260 characters or more (it
// would come cut short). Every drop is released.
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

// Browse and Extract open their choosers, owned by the dialog; a cancel changes nothing.
// (What an extraction shows is the end-to-end test's.)
TEST_F(MainDialogTest, ButtonsOpenTheChoosersOwnedByTheDialog) {
    const Bytes noPreview = chunk(1, text("MAP1"));
    writeFile(map, noPreview);
    open(folder.c_str());
    answers = {L"", map, L"", dir.file(L"picture.tga")};
    click(IDC_BROWSE);
    EXPECT_EQ(field(), folder) << "cancelled";
    click(IDC_BROWSE);
    EXPECT_EQ(field(), map);
    click(IDC_EXTRACT);
    EXPECT_TRUE(shown.empty()) << "cancelled";
    click(IDC_EXTRACT);
    ASSERT_EQ(choosers.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(choosers[i].kind, i < 2 ? ChooserKind::Open : ChooserKind::Save);
        EXPECT_EQ(choosers[i].owner, dialog);
    }
    EXPECT_EQ(choosers[3].initialName, L"alpha.v2");
    EXPECT_EQ(shown.size(), 1u) << "the map's lack of a preview";
}

// A failure in a handler is shown (a standard exception's narrow text) and ends the dialog.
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
        EXPECT_FALSE(IsWindowVisible(dialog));
    }
}

// A name too long for the buffer is not offered (cut, it would name another file); one
// the platform refuses ("maps\") is retried once as an empty name box. The current
// folder, which the platform's chooser may move, is put back.
TEST_F(MainDialogTest, TargaChooserOffersOnlyNamesThatFit) {
    const std::wstring longest(259, L'n'), chosen = L"C:\\out\\chosen.tga";
    const std::tuple<std::wstring, std::vector<std::wstring>, std::vector<std::wstring>> cases[] = {
        {longest, {chosen}, {longest}},
        {longest + L"n", {chosen}, {L""}},
        {L"maps\\", {REFUSED, chosen}, {L"maps\\", L""}},
        {L"maps\\", {REFUSED, REFUSED}, {L"maps\\", L""}},
    };
    for (const auto& [initialName, given, offered] : cases) {
        choosers.clear();
        answers = given;
        EXPECT_EQ(chooseTargaFile(nullptr, initialName), given.back() == chosen ? chosen : L"");
        std::vector<std::wstring> names;
        for (const ShownChooser& c : choosers)
            names.push_back(c.initialName);
        EXPECT_EQ(names, offered);
        EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), dir.path()));
    }
}

} // namespace
