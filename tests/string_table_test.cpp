#include "resource.h"
#include "string_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace {

// Set by the test runner together with the locale of the process.
bool germanExpected() {
    const char* expected = std::getenv("EXPECTED_LANGUAGE");
    return expected && std::string(expected) == "de";
}

TEST(StringTableTest, EntriesInTheUsersLanguage) {
    if (germanExpected()) {
        EXPECT_EQ(loadResourceString(IDS_MAP_FILES), L"Karten Dateien");
        EXPECT_EQ(loadResourceString(IDS_ALL_FILES), L"Alle Dateien");
        EXPECT_EQ(loadResourceString(IDS_TARGA_FILES), L"Targa Dateien");
        EXPECT_EQ(loadResourceString(IDS_NO_PREVIEW),
                  L"Die Map verf\u00fcgt \u00fcber keine Vorschau.\nKeine \u00c4nderung.");
    } else {
        EXPECT_EQ(loadResourceString(IDS_MAP_FILES), L"Map Files");
        EXPECT_EQ(loadResourceString(IDS_ALL_FILES), L"All Files");
        EXPECT_EQ(loadResourceString(IDS_TARGA_FILES), L"Targa Files");
        EXPECT_EQ(loadResourceString(IDS_NO_PREVIEW),
                  L"The map does not contain a preview image.\nNothing done.");
    }
}

TEST(StringTableTest, NoPreviewTextHasTwoLines) {
    const std::wstring text = loadResourceString(IDS_NO_PREVIEW);
    EXPECT_EQ(std::count(text.begin(), text.end(), L'\n'), 1);
    EXPECT_EQ(text.find(L'\r'), std::wstring::npos);
}

TEST(StringTableTest, UnknownEntriesAreEmpty) {
    EXPECT_EQ(loadResourceString(101), L"");
    EXPECT_EQ(loadResourceString(106), L"");
    EXPECT_EQ(loadResourceString(0), L"");
}

} // namespace
