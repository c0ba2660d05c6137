#pragma once

#include <functional>
#include <string>

// Styles of the message boxes the tool shows (the platform's values).
constexpr unsigned MESSAGE_OK = 0x00;         // MB_OK
constexpr unsigned MESSAGE_ICON_ERROR = 0x10; // MB_ICONERROR

// A message box with no owner and the system's default caption. The narrow form shows
// the text of a standard exception as it is.
void showMessage(const std::wstring& text, unsigned style);
void showMessageNarrow(const std::string& text, unsigned style);

// Lets tests see every message instead of a window. Pass an empty function to restore
// the real boxes.
struct ShownMessage {
    bool wide;
    std::wstring text;      // for wide messages
    std::string narrowText; // for narrow messages
    unsigned style;
};
void setMessageHook(std::function<void(const ShownMessage&)> hook);
