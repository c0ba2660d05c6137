#include "dialog_rules.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(BareFileNameTest, DropsFolderAndLastExtension) {
    EXPECT_EQ(bareFileName(L"C:\\maps\\alpha.v2.ted"), L"alpha.v2");
    EXPECT_EQ(bareFileName(L"C:\\maps.old\\alpha.ted"), L"alpha");
    EXPECT_EQ(bareFileName(L"C:/maps/alpha.ted"), L"alpha");
    EXPECT_EQ(bareFileName(L"C:alpha.ted"), L"alpha");
    EXPECT_EQ(bareFileName(L"alpha.ted"), L"alpha");
}

TEST(BareFileNameTest, NamesWithoutAUsableExtensionAreOfferedWhole) {
    EXPECT_EQ(bareFileName(L"C:\\maps\\alpha"), L"alpha");
    EXPECT_EQ(bareFileName(L"C:\\maps\\alpha.b c"), L"alpha.b c") << "dot followed by a space";
    EXPECT_EQ(bareFileName(L"C:\\maps\\al.pha.b c"), L"al.pha.b c");
}

TEST(BareFileNameTest, LeadingDotGivesAnEmptyName) {
    EXPECT_EQ(bareFileName(L"C:\\maps\\.ted"), L"");
    EXPECT_EQ(bareFileName(L".ted"), L"");
}

TEST(BareFileNameTest, TrailingSeparatorKeepsTheFolderName) {
    EXPECT_EQ(bareFileName(L"C:\\games\\maps\\"), L"maps\\");
    EXPECT_EQ(bareFileName(L""), L"");
}

TEST(CanExtractTest, OnlyAnExistingFile) {
    TempDir dir;
    const std::wstring map = dir.file(L"alpha.ted");
    writeFile(map, {});
    EXPECT_TRUE(canExtract(map));
    EXPECT_FALSE(canExtract(dir.file(L"missing.ted")));
    EXPECT_FALSE(canExtract(dir.path().wstring())) << "a folder";
    EXPECT_FALSE(canExtract(dir.path().wstring() + L"\\"));
    EXPECT_FALSE(canExtract(L""));
}

TEST(CanExtractTest, RelativePathIsTakenAgainstTheCurrentFolder) {
    TempDir dir;
    writeFile(dir.file(L"alpha.ted"), {});
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    EXPECT_TRUE(canExtract(L"alpha.ted"));
    EXPECT_TRUE(canExtract(L".\\alpha.ted"));
    EXPECT_FALSE(canExtract(L"beta.ted"));
    std::filesystem::current_path(before);
}

} // namespace
