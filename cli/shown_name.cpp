#include "shown_name.h"

namespace {

std::wstring octal(unsigned byte) {
    return {L'\\', wchar_t(L'0' + (byte >> 6)), wchar_t(L'0' + (byte >> 3 & 7)),
            wchar_t(L'0' + (byte & 7))};
}

} // namespace

std::wstring shownName(const std::wstring& name) {
    std::wstring shown;
    for (const wchar_t c : name) {
        if (c == L'\n')
            shown += L"\\n";
        else if (c == L'\t')
            shown += L"\\t";
        else if (c == L'\r')
            shown += L"\\r";
        else if (c < 0x20 || c == 0x7F)
            shown += octal(c);
        else if (c >= 0x80 && c <= 0x9F)
            shown += octal(0xC2) + octal(c);
        else if (c >= 0xDC80 && c <= 0xDCFF) // a byte that is no part of valid UTF-8
            shown += octal(c & 0xFF);
        else
            shown += c;
    }
    return shown;
}
