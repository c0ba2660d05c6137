#pragma once

#include <string>

// Explicit conversions between wide strings and UTF-8, independent of the C locale.
// Invalid input becomes U+FFFD.
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);
