#pragma once

#include <string>

// Explicit conversions between wide strings and UTF-8, independent of the C locale, and
// lossless for bytes: fromUtf8 holds each byte that is not part of well-formed UTF-8
// (stray or cut sequences, overlong forms, encoded surrogates, values above U+10FFFF) as
// the lone code point U+DC80 to U+DCFF, and toUtf8 gives that byte back. Any byte string
// therefore comes back from toUtf8(fromUtf8(bytes)) exactly as it was. toUtf8 takes a
// surrogate pair for the code point it stands for, also where wchar_t has 32 bits; other
// lone surrogates, which UTF-8 cannot hold, become U+FFFD.
std::string toUtf8(const std::wstring& text);
std::wstring fromUtf8(const std::string& text);
