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

// A drop handle as the shell makes one: a header, then each name closed by a null, the
// list by one more.
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

// What the stand-ins saw. The n-th chooser records its kind, owner and initial name, runs
// `onChooser`, moves the current folder as the platform's may, and answers with
// answers[n]: a name, REFUSED, or "" (or none) for a cancel.
std::vector<ShownMessage> shown;
std::vector<std::tuple<ChooserKind, HWND, std::wstring>> choosers;
std::vector<std::wstring> answers;
std::function<void()> onChooser;
std::filesystem::path elsewhere;

ChooserOutcome standIn(OPENFILENAMEW& record, ChooserKind kind) {
    choosers.emplace_back(kind, record.hwndOwner, record.lpstrFile);
    if (onChooser)
        onChooser();
    std::filesystem::current_path(elsewhere);
    const std::wstring answer =
        choosers.size() <= answers.size() ? answers[choosers.size() - 1] : L"";
    if (answer == REFUSED)
        return ChooserOutcome{FALSE, FNERR_INVALIDFILENAME};
    lstrcpynW(record.lpstrFile, answer.c_str(), static_cast<int>(record.nMaxFile));
    return ChooserOutcome{!answer.empty(), 0};
}

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::current_path(dir.path());
        elsewhere = other.path();
        shown.clear(), choosers.clear(), answers.clear(), onChooser = nullptr;
        presentMessage = [](const ShownMessage& m) { shown.push_back(m); };
        runChooserWindow = standIn;
        writeFile(map, chunk(1, text("MAP1")));
    }
    void TearDown() override {
        DestroyWindow(dialog);
        runChooserWindow = realChooser;
        presentMessage = realMessage;
        std::filesystem::current_path(before);
    }

    void open(const wchar_t* startPath) {
        DestroyWindow(dialog);
        dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                    MainDialog, reinterpret_cast<LPARAM>(startPath));
        ShowWindow(dialog, SW_SHOWNA);
    }
    void expectField(const std::wstring& text, bool enabled) {
        EXPECT_EQ(readWindowText(GetDlgItem(dialog, IDC_MAP_PATH)), text);
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, IDC_EXTRACT)) != FALSE, enabled) << text;
    }
    void send(int id, int notification, HWND from) {
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, notification),
                     reinterpret_cast<LPARAM>(from));
    }
    void click(int id) { send(id, BN_CLICKED, GetDlgItem(dialog, id)); }

    const ChooserRunner realChooser = runChooserWindow;
    void (*const realMessage)(const ShownMessage&) = presentMessage;
    const std::filesystem::path before = std::filesystem::current_path();
    TempDir dir, other;
    const std::wstring folder = dir.path().wstring(), map = dir.file(L"alpha.v2.ted");
    HWND dialog = nullptr;
};

// A start path enables the button, even a folder; each edit then applies the rule (an
// existing file, relative to the current folder), on the text of the control that sent
// it. The first name dropped fills the field, but not one of 260 characters or more (it
// would come cut short); every drop is released.
TEST_F(MainDialogTest, StartPathEditsAndDropsSetTheFieldAndTheButton) {
    for (const std::wstring& start : {map, folder}) {
        open(start.c_str());
        expectField(start, true);
    }
    open(nullptr);
    expectField(L"", false);
    const std::wstring tooLong = L"C:\\" + std::wstring(1000, L'x');
    for (const auto& [typed, enabled] : {std::pair<std::wstring, bool>{L".\\alpha.v2.ted", true},
                                         {L"beta.ted", false},
                                         {folder + L"\\", false},
                                         {tooLong, false}}) {
        SetWindowTextW(GetDlgItem(dialog, IDC_MAP_PATH), typed.c_str());
        expectField(typed, enabled);
    }
    HWND sender = CreateWindowW(L"Static", map.c_str(), WS_CHILD, 0, 0, 10, 10, dialog,
                                reinterpret_cast<HMENU>(4711), nullptr, nullptr);
    send(4711, EN_CHANGE, sender);
    expectField(tooLong, true);
    const std::wstring longest = L"C:\\" + std::wstring(252, L'x') + L".ted";
    const std::tuple<std::vector<std::wstring>, std::wstring, bool> drops[] = {
        {{map, folder}, map, true},         {{folder}, folder, false}, {{longest}, longest, false},
        {{longest + L"x"}, longest, false}, {{}, longest, false},
    };
    for (const auto& [names, text, enabled] : drops) {
        const HDROP drop = makeDrop(names);
        SendMessageW(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        expectField(text, enabled);
        EXPECT_EQ(GlobalSize(drop), 0u) << "released by DragFinish";
    }
    EXPECT_TRUE(shown.empty());
}

// Browse and Extract open their choosers, owned by the dialog; a cancel changes nothing.
// (What an extraction shows is the end-to-end test's.)
TEST_F(MainDialogTest, ButtonsOpenTheChoosersOwnedByTheDialog) {
    open(folder.c_str());
    answers = {L"", map, L"", dir.file(L"picture.tga")};
    click(IDC_BROWSE);
    expectField(folder, true);
    for (const int button : {IDC_BROWSE, IDC_EXTRACT, IDC_EXTRACT})
        click(button);
    expectField(map, true);
    const ChooserKind load = ChooserKind::Open, save = ChooserKind::Save;
    EXPECT_EQ(choosers, (decltype(choosers){{load, dialog, L""},
                                            {load, dialog, L""},
                                            {save, dialog, L"alpha.v2"},
                                            {save, dialog, L"alpha.v2"}}));
    EXPECT_EQ(shown.size(), 1u) << "the map's lack of a preview, once";
}

// A failure in a handler is shown (a standard exception's narrow text) and ends the dialog.
TEST_F(MainDialogTest, FailureInAHandlerIsReportedAndEndsTheDialog) {
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
        for (const auto& shownChooser : choosers)
            names.push_back(std::get<2>(shownChooser));
        EXPECT_EQ(names, offered);
        EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), dir.path()));
    }
}

} // namespace
