#include "file_choosers.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cderr.h>
#include <filesystem>
#include <string>
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
    void SetUp() override {
        setChooserRunner([this](OPENFILENAMEW& record, ChooserKind kind) {
            shown.push_back({kind, record, filterList(record.lpstrFilter), record.lpstrFile});
            ChooserOutcome outcome{FALSE, 0};
            if (!outcomes.empty()) {
                outcome = outcomes.front();
                outcomes.erase(outcomes.begin());
            }
            if (outcome.chosen)
                lstrcpynW(record.lpstrFile, chosenName.c_str(), static_cast<int>(record.nMaxFile));
            return outcome;
        });
    }
    void TearDown() override { setChooserRunner(nullptr); }

    static void expectUnnamedMembersEmpty(const OPENFILENAMEW& r) {
        EXPECT_EQ(r.hInstance, nullptr);
        EXPECT_EQ(r.lpstrCustomFilter, nullptr);
        EXPECT_EQ(r.nMaxCustFilter, 0u);
        EXPECT_EQ(r.lpstrFileTitle, nullptr);
        EXPECT_EQ(r.nMaxFileTitle, 0u);
        EXPECT_EQ(r.lpstrInitialDir, nullptr);
        EXPECT_EQ(r.lpstrTitle, nullptr);
        EXPECT_EQ(r.nFileOffset, 0);
        EXPECT_EQ(r.nFileExtension, 0);
        EXPECT_EQ(r.lCustData, 0);
        EXPECT_EQ(r.lpfnHook, nullptr);
        EXPECT_EQ(r.lpTemplateName, nullptr);
    }

    HWND owner = GetDesktopWindow();
    std::vector<ShownChooser> shown;
    std::vector<ChooserOutcome> outcomes;
    std::wstring chosenName = L"C:\\maps\\chosen.ted";
};

TEST_F(FileChoosersTest, RecordHasTheSizeOfItsShortFormForThisArchitecture) {
    chooseMapFile(owner);
    chooseTargaFile(owner, L"alpha");
    ASSERT_EQ(shown.size(), 2u);
    for (const ShownChooser& s : shown) {
        EXPECT_EQ(s.record.lStructSize, OPENFILENAME_SIZE_VERSION_400W);
#ifdef _WIN64
        EXPECT_EQ(s.record.lStructSize, 136u);
#else
        EXPECT_EQ(s.record.lStructSize, 76u);
#endif
    }
}

TEST_F(FileChoosersTest, MapChooserRecord) {
    chooseMapFile(owner);
    ASSERT_EQ(shown.size(), 1u);
    const ShownChooser& s = shown[0];
    EXPECT_EQ(s.kind, ChooserKind::Open);
    EXPECT_EQ(s.record.hwndOwner, owner);
    EXPECT_EQ(s.filters, withNulls(L"Map Files (*.ted)|*.TED|All Files (*.*)|*.*|"));
    EXPECT_EQ(s.record.nFilterIndex, 0u);
    EXPECT_EQ(s.initialName, L"");
    EXPECT_EQ(s.record.nMaxFile, 260u);
    EXPECT_EQ(s.record.Flags, 0x1804u); // hide read-only, path and file must exist
    EXPECT_EQ(s.record.lpstrDefExt, nullptr);
    expectUnnamedMembersEmpty(s.record);
}

TEST_F(FileChoosersTest, TargaChooserRecord) {
    chooseTargaFile(owner, L"alpha.v2");
    ASSERT_EQ(shown.size(), 1u);
    const ShownChooser& s = shown[0];
    EXPECT_EQ(s.kind, ChooserKind::Save);
    EXPECT_EQ(s.record.hwndOwner, owner);
    EXPECT_EQ(s.filters, withNulls(L"Targa Files (*.tga)|*.TGA|All Files (*.*)|*.*|"));
    EXPECT_EQ(s.record.nFilterIndex, 0u);
    EXPECT_EQ(s.initialName, L"alpha.v2");
    EXPECT_EQ(s.record.nMaxFile, 260u);
    EXPECT_EQ(s.record.Flags, 0x0802u); // overwrite prompt, path must exist
    EXPECT_EQ(std::wstring(s.record.lpstrDefExt), L"tga");
    expectUnnamedMembersEmpty(s.record);
}

TEST_F(FileChoosersTest, InitialNameIsOfferedOnlyWhenItFits) {
    const std::wstring longest(259, L'n');
    chooseTargaFile(owner, longest);
    chooseTargaFile(owner, longest + L"n");
    chooseTargaFile(owner, L"");
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].initialName, longest);
    EXPECT_EQ(shown[1].initialName, L"") << "a cut name would name another file";
    EXPECT_EQ(shown[2].initialName, L"");
}

TEST_F(FileChoosersTest, ResultIsTheChosenPathOrEmpty) {
    outcomes = {{TRUE, 0}, {FALSE, 0}, {TRUE, 0}, {FALSE, FNERR_BUFFERTOOSMALL}};
    EXPECT_EQ(chooseMapFile(owner), chosenName);
    EXPECT_EQ(chooseMapFile(owner), L"") << "cancelled";
    chosenName = L"C:\\out\\alpha.tga";
    EXPECT_EQ(chooseTargaFile(owner, L"alpha"), chosenName);
    EXPECT_EQ(chooseTargaFile(owner, L"alpha"), L"") << "failed";
    EXPECT_EQ(shown.size(), 4u) << "a cancel or an ordinary failure is not retried";
}

TEST_F(FileChoosersTest, RefusedInitialNameIsRetriedOnceWithAnEmptyName) {
    chosenName = L"C:\\out\\maps.tga";
    outcomes = {{FALSE, FNERR_INVALIDFILENAME}, {TRUE, 0}};
    EXPECT_EQ(chooseTargaFile(owner, L"maps\\"), chosenName);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].initialName, L"maps\\");
    EXPECT_EQ(shown[1].initialName, L"");
    EXPECT_EQ(shown[1].record.Flags, 0x0802u);

    shown.clear();
    outcomes = {{FALSE, FNERR_INVALIDFILENAME}, {FALSE, FNERR_INVALIDFILENAME}};
    EXPECT_EQ(chooseTargaFile(owner, L"maps\\"), L"");
    EXPECT_EQ(shown.size(), 2u) << "asked once more, not again and again";

    shown.clear();
    outcomes = {{FALSE, FNERR_INVALIDFILENAME}};
    EXPECT_EQ(chooseTargaFile(owner, L""), L"");
    EXPECT_EQ(shown.size(), 1u) << "an empty name cannot be the cause";
}

TEST_F(FileChoosersTest, CurrentFolderIsTheSameAfterwards) {
    TempDir start, elsewhere;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(start.path());
    setChooserRunner([&](OPENFILENAMEW& record, ChooserKind) {
        std::filesystem::current_path(elsewhere.path());
        lstrcpynW(record.lpstrFile, L"C:\\x.tga", static_cast<int>(record.nMaxFile));
        return ChooserOutcome{TRUE, 0};
    });
    chooseMapFile(owner);
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), start.path()));
    chooseTargaFile(owner, L"x");
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::current_path(), start.path()));
    std::filesystem::current_path(before);
}

} // namespace
