// What Wine cannot show from outside: a real dialog, its choosers and messages stood in for.
#include "file_choosers.h"
#include "main_dialog.h"
#include "message_box.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cderr.h>
#include <shlobj.h>

namespace {

const std::wstring REFUSED = L"(refused)"; // an answer besides a name and "" (a cancel)

// Records the initial name, moves the current folder as the platform's may, gives the next answer.
std::vector<std::wstring> offered, answers;
std::vector<ShownMessage> shown;
bool failing = false;

ChooserOutcome standIn(OPENFILENAMEW& record, ChooserKind) {
    if (failing)
        throw std::bad_alloc();
    offered.push_back(record.lpstrFile);
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    const std::wstring answer = answers.at(offered.size() - 1);
    if (answer == REFUSED)
        return ChooserOutcome{FALSE, FNERR_INVALIDFILENAME};
    lstrcpynW(record.lpstrFile, answer.c_str(), static_cast<int>(record.nMaxFile));
    return ChooserOutcome{!answer.empty(), 0};
}

// The stand-ins stay: no other test of this program opens a chooser or a message itself.
class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        offered.clear(), answers.clear(), shown.clear(), failing = false;
        presentMessage = [](const ShownMessage& m) { shown.push_back(m); };
        runChooserWindow = standIn;
        dialog = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_MAIN), nullptr,
                                    MainDialog, 0);
        ShowWindow(dialog, SW_SHOWNA);
    }
    void TearDown() override { DestroyWindow(dialog); }

    HWND dialog = nullptr;
};

// Not a name of 260 characters or more: it would come cut short, naming another path.
TEST_F(MainDialogTest, DropFillsTheFieldWithTheFirstNameThatFits) {
    const std::wstring map = L"C:\\windows\\win.ini", folder = L"C:\\windows";
    const std::wstring longest = L"C:\\" + std::wstring(252, L'x') + L".ted", tooLong(260, L'y');
    // The names dropped (a null between two), then the field and the button.
    const std::tuple<std::wstring, std::wstring, bool> drops[] = {
        {map + L'\0' + folder, map, true}, {folder, folder, false}, {longest, longest, false},
        {tooLong, longest, false},         {L"", longest, false},
    };
    for (const auto& [names, field, enabled] : drops) {
        HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + (names.size() + 2) * sizeof(wchar_t));
        auto* header = static_cast<DROPFILES*>(GlobalLock(drop));
        *header = DROPFILES{sizeof(DROPFILES), {}, FALSE, TRUE};
        std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(header + 1));
        GlobalUnlock(drop);
        SendMessageW(dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        EXPECT_EQ(readWindowText(GetDlgItem(dialog, IDC_MAP_PATH)), field);
        EXPECT_EQ(IsWindowEnabled(GetDlgItem(dialog, IDC_EXTRACT)) != FALSE, enabled) << field;
        EXPECT_EQ(GlobalSize(drop), 0u) << "released by DragFinish";
    }
    EXPECT_TRUE(shown.empty());
}

// Shown as the program's entry shows one, MB_OK; running out of memory as a sentence.
TEST_F(MainDialogTest, FailureInAHandlerIsReportedAndEndsTheDialog) {
    failing = true;
    SendMessageW(dialog, WM_COMMAND, IDC_BROWSE, 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(std::tie(shown[0].wide, shown[0].text, shown[0].style),
              std::make_tuple(true,
                              L"Not enough memory: the system refused more, and the work stopped.",
                              MESSAGE_OK));
    EXPECT_FALSE(IsWindowVisible(dialog));
}

// A name too long (cut, it would name another file) is not offered; a refused one is retried once.
TEST_F(MainDialogTest, TargaChooserOffersOnlyNamesThatFit) {
    const std::wstring longest(259, L'n'), chosen = L"C:\\out\\chosen.tga";
    const std::filesystem::path before = std::filesystem::current_path();
    const std::tuple<std::wstring, std::vector<std::wstring>, std::vector<std::wstring>> cases[] = {
        {longest, {chosen}, {longest}},
        {longest + L"n", {chosen}, {L""}},
        {L"maps\\", {REFUSED, chosen}, {L"maps\\", L""}},
        {L"maps\\", {REFUSED, REFUSED}, {L"maps\\", L""}},
    };
    for (const auto& [initialName, given, expected] : cases) {
        offered.clear(), answers = given;
        EXPECT_EQ(chooseTargaFile(nullptr, initialName), given.back() == chosen ? chosen : L"");
        EXPECT_EQ(offered, expected);
        EXPECT_EQ(std::filesystem::current_path(), before);
    }
}

} // namespace
