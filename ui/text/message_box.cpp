#include "message_box.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "utf8.h"

#include <cstdio>
#endif

namespace {

void showOnPlatform(const ShownMessage& message) {
#ifdef _WIN32
    if (message.wide)
        MessageBoxW(nullptr, message.text.c_str(), nullptr, message.style);
    else
        MessageBoxA(nullptr, message.narrowText.c_str(), nullptr, message.style);
#else
    const std::string text = message.wide ? toUtf8(message.text) : message.narrowText;
    std::fprintf(stderr, "%s\n", text.c_str());
#endif
}

} // namespace

void (*presentMessage)(const ShownMessage& message) = showOnPlatform;

void showMessage(const std::wstring& text, unsigned style) {
    presentMessage({true, text, std::string(), style});
}

void showMessageNarrow(const std::string& text, unsigned style) {
    presentMessage({false, std::wstring(), text, style});
}
