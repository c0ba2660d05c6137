#pragma once

#include "utf8.h"

#include <string>

// Styles of the message boxes the tool shows (the platform's values).
constexpr unsigned MESSAGE_OK = 0x00;         // MB_OK
constexpr unsigned MESSAGE_ICON_ERROR = 0x10; // MB_ICONERROR

// What the user reads: a wide text of the system's own, or a standard exception's text,
// narrow as the library gives it, shown as it is; and the style of the box that shows it.
struct ShownMessage {
    bool wide = true;
    std::wstring text;      // for wide messages
    std::string narrowText; // for narrow messages
    unsigned style = MESSAGE_OK;
    std::size_t nameLength = 0; // how many characters at the end of `text` are a file's name

    std::wstring wideText() const { return wide ? text : fromUtf8(narrowText); }
};

// Where every message goes: the platform's message box with no owner and the system's
// default caption (standard error on Linux). The one seam of the tests, which point it
// elsewhere to see the messages instead of windows.
extern void (*presentMessage)(const ShownMessage& message);

inline void showMessage(const std::wstring& text, unsigned style) {
    presentMessage({true, text, std::string(), style});
}
