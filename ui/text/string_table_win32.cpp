#include "string_table.h"

#include <windows.h>

std::wstring loadResourceString(unsigned id) {
    // With a buffer size of 0 the platform hands out a pointer to its own read-only,
    // unterminated copy of the text and returns its length.
    const wchar_t* text = L"";
    const int length = LoadStringW(nullptr, id, reinterpret_cast<LPWSTR>(&text), 0);
    return std::wstring(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}
