#include "file_choosers.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cderr.h>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace {

// A filter list as the chooser reads it: parts closed by nulls, up to the empty part.
std::wstring filterList(const wchar_t* list) {
    const wchar_t* end = list;
    while (end[0] != L'\0' || end[1] != L'\0')
        ++end;
    return std::wstring(list, end + 2);
}

// "a|b|" with each bar a null, so that expectations show where the nulls are.
std::wstring withNulls(std::wstring text) {
    std::replace(text.begin(), text.end(), L'|', L'\0');
    return text + L'\0';
}

// What a chooser was shown with, copied while it ran.
struct ShownChooser {
    ChooserKind kind;
    OPENFILENAMEW record;
    std::wstring filters;
    std::wstring initialName;
};

class FileChoosersTest : public ::testing::Test {
protected:
    // The n-th chooser answers with outcomes[n] (chosen when there is none), names
    // `chosenName` when chosen, and moves the current folder as the platform's may.
    void SetUp() override {
        std::filesystem::current_path(start.path());
        setChooserRunner([this](OPENFILENAMEW& record, ChooserKind kind) {
            shown.push_back({kind, record, filterList(record.lpstrFilter), record.lpstrFile});
            std::filesystem::current_path(elsewhere.path());
            const ChooserOutcome outcome = shown.size() <= outcomes.size()
                                               ? outcomes[shown.size() - 1]
                                               : ChooserOutcome{TRUE, 0};
            if (outcome.chosen)
                lstrcpynW(record.lpstrFile, chosenName.c_str(), static_cast<int>(record.nMaxFile));
            return outcome;
        });
    }
    void TearDown() override {
        setChooserRunner(nullptr);
        std::filesystem::current_path(before);
    }
    bool currentFolderKept() const {
        return std::filesystem::equivalent(std::filesystem::current_path(), start.path());
    }

    const std::filesystem::path before = std::filesystem::current_path();
    const TempDir start, elsewhere;
    HWND owner = GetDesktopWindow();
    std::vector<ShownChooser> shown;
    std::vector<ChooserOutcome> outcomes;
    const std::wstring chosenName = L"C:\\out\\chosen.tga";
};

TEST_F(FileChoosersTest, RecordsOfBothChoosers) {
    EXPECT_EQ(chooseMapFile(owner), chosenName);
    EXPECT_TRUE(currentFolderKept());
    EXPECT_EQ(chooseTargaFile(owner, L"alpha.v2"), chosenName);
    EXPECT_TRUE(currentFolderKept());
    const std::tuple<ChooserKind, std::wstring, std::wstring, DWORD, std::wstring> expected[] = {
        // hide read-only, path and file must exist
        {ChooserKind::Open, withNulls(L"Map Files (*.ted)|*.TED|All Files (*.*)|*.*|"), L"", 0x1804,
         L"(none)"},
        // overwrite prompt, path must exist
        {ChooserKind::Save, withNulls(L"Targa Files (*.tga)|*.TGA|All Files (*.*)|*.*|"),
         L"alpha.v2", 0x0802, L"tga"},
    };
    ASSERT_EQ(shown.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const auto& [kind, filters, initialName, flags, defaultExtension] = expected[i];
        const OPENFILENAMEW& r = shown[i].record;
        EXPECT_EQ(shown[i].kind, kind);
        // The form without the three trailing members (OPENFILENAME_SIZE_VERSION_400W).
        EXPECT_EQ(r.lStructSize, sizeof(void*) == 8 ? 136u : 76u);
        EXPECT_EQ(r.hwndOwner, owner);
        EXPECT_EQ(shown[i].filters, filters);
        EXPECT_EQ(r.nFilterIndex, 0u);
        EXPECT_EQ(shown[i].initialName, initialName);
        EXPECT_EQ(r.nMaxFile, 260u);
        EXPECT_EQ(r.Flags, flags);
        EXPECT_EQ(r.lpstrDefExt ? r.lpstrDefExt : L"(none)", defaultExtension);
        EXPECT_TRUE(!r.hInstance && !r.lpstrCustomFilter && !r.nMaxCustFilter &&
                    !r.lpstrFileTitle && !r.nMaxFileTitle && !r.lpstrInitialDir && !r.lpstrTitle &&
                    !r.nFileOffset && !r.nFileExtension && !r.lCustData && !r.lpfnHook &&
                    !r.lpTemplateName)
            << "the members not named stay empty";
    }
}

// Each case: the initial name, what the save chooser answers, the names it was shown
// with, and the result.
TEST_F(FileChoosersTest, InitialNameFitsOrIsRetriedEmptyOnceWhenRefused) {
    const ChooserOutcome refused{FALSE, FNERR_INVALIDFILENAME};
    const std::wstring longest(259, L'n');
    struct Case {
        std::wstring initialName;
        std::vector<ChooserOutcome> outcomes;
        std::vector<std::wstring> namesShown;
        std::wstring result;
    };
    const Case cases[] = {
        {longest, {}, {longest}, chosenName},
        {longest + L"n", {}, {L""}, chosenName}, // a cut name would name another file
        {L"alpha", {{FALSE, 0}}, {L"alpha"}, L""},
        {L"alpha", {{FALSE, FNERR_BUFFERTOOSMALL}}, {L"alpha"}, L""},
        {L"maps\\", {refused}, {L"maps\\", L""}, chosenName},
        {L"maps\\", {refused, refused}, {L"maps\\", L""}, L""}, // once, not again and again
        {L"", {refused}, {L""}, L""},                           // an empty name is not the cause
    };
    for (const Case& c : cases) {
        shown.clear();
        outcomes = c.outcomes;
        EXPECT_EQ(chooseTargaFile(owner, c.initialName), c.result);
        std::vector<std::wstring> names;
        for (const ShownChooser& s : shown)
            names.push_back(s.initialName);
        EXPECT_EQ(names, c.namesShown);
    }
}

} // namespace
