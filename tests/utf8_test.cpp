#include "utf8.h"

#include <gtest/gtest.h>

TEST(Utf8Test, RoundTripsLettersBeyondAscii) {
    const std::wstring wide = L"Karte \u00c4 \u65e5\u672c \U0001F5FA.ted";
    const std::string utf8 = "Karte \xC3\x84 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x97\xBA.ted";
    EXPECT_EQ(toUtf8(wide), utf8);
    EXPECT_EQ(fromUtf8(utf8), wide);
}

TEST(Utf8Test, InvalidBytesBecomeReplacementCharacters) {
    EXPECT_EQ(fromUtf8("a\xFF"
                       "b\xC3"),
              L"a\uFFFDb\uFFFD");
}
