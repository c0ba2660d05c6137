#include "utf8.h"

#include <gtest/gtest.h>

TEST(Utf8Test, RoundTripsLettersBeyondAscii) {
    const std::wstring wide = L"Karte \u00c4 \u65e5\u672c \U0001F5FA.ted";
    const std::string utf8 = "Karte \xC3\x84 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x97\xBA.ted";
    EXPECT_EQ(toUtf8(wide), utf8);
    EXPECT_EQ(fromUtf8(utf8), wide);
}

// Names are bytes: whatever they hold comes back unchanged, and what is not well-formed
// UTF-8 never decodes to another character (an overlong "/" to a folder separator, an
// overlong NUL to the end of the name).
TEST(Utf8Test, AnyBytesRoundTripAndOnlyWellFormedOnesDecode) {
    const std::pair<std::string, std::wstring> cases[] = {
        {"n\xFF.ted", L"n\xDCFF.ted"},
        {"sub\xC0\xAFm.ted", L"sub\xDCC0\xDCAFm.ted"},     // overlong '/'
        {"n.ted\xC0\x80x", L"n.ted\xDCC0\xDC80x"},         // overlong NUL
        {"\xE0\x80\xAF", L"\xDCE0\xDC80\xDCAF"},           // three-byte overlong
        {"\xF0\x80\x80\xAF", L"\xDCF0\xDC80\xDC80\xDCAF"}, // four-byte overlong
        {"\xED\xA0\x80\xED\xB2\x80", L"\xDCED\xDCA0\xDC80\xDCED\xDCB2\xDC80"}, // surrogates
        {"\xF4\x90\x80\x80", L"\xDCF4\xDC90\xDC80\xDC80"},                     // above U+10FFFF
        {"\xF8\x88\x80\x80\x80", L"\xDCF8\xDC88\xDC80\xDC80\xDC80"},           // five-byte form
        {"\xE6\x97", L"\xDCE6\xDC97"},                                         // cut short
        {"\x80\xC3\x84", L"\xDC80\u00c4"},                                     // stray continuation
        {"\xF4\x8F\xBF\xBF", L"\U0010FFFF"},
        {"\xEE\x80\x80", L"\uE000"},
        {"\xED\x9F\xBF", L"\uD7FF"},
    };
    for (const auto& [bytes, wide] : cases) {
        EXPECT_EQ(fromUtf8(bytes), wide) << bytes;
        EXPECT_EQ(toUtf8(fromUtf8(bytes)), bytes);
    }
    std::string every;
    for (int byte = 1; byte < 256; ++byte)
        every += static_cast<char>(byte);
    EXPECT_EQ(toUtf8(fromUtf8(every + every)), every + every);
}
