#pragma once

#include <string>

// Styles of the message boxes the tool shows (the platform's values).
constexpr unsigned MESSAGE_OK = 0x00;         // MB_OK
constexpr unsigned MESSAGE_ICON_ERROR = 0x10; // MB_ICONERROR

// A message box with no owner and the system's default caption. The narrow form shows
// the text of a standard exception as it is.
void showMessage(const std::wstring& text, unsigned style);
void showMessageNarrow(const std::string& text, unsigned style);

struct ShownMessage {
    bool wide;
    std::wstring text;      // for wide messages
    std::string narrowText; // for narrow messages
    unsigned style;
};

// Where both forms go: the platform's message box (standard error on Linux). The one
// seam of the tests, which point it elsewhere to see the messages instead of windows.
extern void (*presentMessage)(const ShownMessage& message);
