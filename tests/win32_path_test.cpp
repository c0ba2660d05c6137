#include "test_support.h"
#include "win32_path.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

const std::wstring PREFIX = L"\\\\?\\";

std::wstring drivePathOfLength(std::size_t length) {
    return L"C:\\maps\\" + std::wstring(length - 12, L'x') + L".ted";
}

TEST(ExtendedLengthFormTest, OnlyPathsFromMaxPathOnGetThePrefix) {
    const std::wstring longest = drivePathOfLength(MAX_PATH - 1);
    const std::wstring tooLong = drivePathOfLength(MAX_PATH);
    EXPECT_EQ(extendedLengthForm(longest), longest);
    EXPECT_EQ(extendedLengthForm(tooLong), PREFIX + tooLong);
}

TEST(ExtendedLengthFormTest, NetworkPathsGetTheUncForm) {
    const std::wstring share = L"\\\\server\\share\\" + std::wstring(280, L'y') + L".ted";
    EXPECT_EQ(extendedLengthForm(share),
              PREFIX + L"UNC\\server\\share\\" + std::wstring(280, L'y') + L".ted");
}

TEST(ExtendedLengthFormTest, PrefixedPathsStayAsTheyAre) {
    const std::wstring prefixed = PREFIX + drivePathOfLength(300);
    EXPECT_EQ(extendedLengthForm(prefixed), prefixed);
    EXPECT_EQ(win32Path(prefixed), prefixed);
}

TEST(Win32PathTest, ShortPathsAreUnchanged) {
    EXPECT_EQ(win32Path(L"alpha.ted"), L"alpha.ted");
    EXPECT_EQ(win32Path(L"maps/../alpha.ted"), L"maps/../alpha.ted");
    EXPECT_EQ(win32Path(drivePathOfLength(MAX_PATH - 1)), drivePathOfLength(MAX_PATH - 1));
}

// The prefixed form is taken literally, so it must be a clean full path.
TEST(Win32PathTest, LongPathsBecomeCleanFullPaths) {
    TempDir dir;
    const std::wstring name = std::wstring(280, L'z') + L".ted";
    const std::wstring spelt = dir.file(L"sub/../") + name;
    EXPECT_EQ(win32Path(spelt), PREFIX + dir.file(name));
}

TEST(Win32PathTest, LongRelativePathsBecomeFullPaths) {
    const std::wstring name = std::wstring(280, L'z') + L".ted";
    wchar_t current[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, current);
    std::wstring folder(current, length);
    if (folder.back() != L'\\')
        folder += L'\\';
    EXPECT_EQ(win32Path(name), PREFIX + folder + name);
}

} // namespace
