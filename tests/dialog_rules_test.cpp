#include "dialog_rules.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(DialogRulesTest, BareFileNameDropsFolderAndLastExtension) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"C:\\maps\\alpha.v2.ted", L"alpha.v2"},
        {L"C:\\maps.old\\alpha.ted", L"alpha"},
        {L"C:/maps/alpha.ted", L"alpha"},
        {L"alpha.ted", L"alpha"},
        {L"C:\\maps\\alpha", L"alpha"},
        {L"C:\\maps\\alpha.b c", L"alpha.b c"},
        {L"C:\\maps\\.ted", L""},
        {L"C:\\games\\maps\\", L"maps\\"},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(bareFileName(path), expected) << path;
}

TEST(DialogRulesTest, CanExtractOnlyAnExistingFile) {
    const TempDir dir;
    const std::wstring folder = dir.path().wstring();
    writeFile(dir.file(L"alpha.ted"), {});
    const std::pair<std::wstring, bool> cases[] = {
        {dir.file(L"alpha.ted"), true}, {L"alpha.ted", true}, {L".\\alpha.ted", true},
        {dir.file(L"beta.ted"), false}, {L"beta.ted", false}, {folder, false},
        {folder + L"\\", false},        {L".", false},        {L"", false},
    };
    // Relative paths are taken against the current folder.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(canExtract(path), expected) << path;
    std::filesystem::current_path(before);
}

} // namespace
