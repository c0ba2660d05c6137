#include "message_box.h"

#ifdef _WIN32
#include <windows.h>
#else
#include "utf8.h"

#include <cstdio>
#endif

namespace {

std::function<void(const ShownMessage&)>& hook() {
    static std::function<void(const ShownMessage&)> installed;
    return installed;
}

} // namespace

void setMessageHook(std::function<void(const ShownMessage&)> replacement) {
    hook() = std::move(replacement);
}

void showMessage(const std::wstring& text, unsigned style) {
    if (hook())
        return hook()({true, text, std::string(), style});
#ifdef _WIN32
    MessageBoxW(nullptr, text.c_str(), nullptr, style);
#else
    std::fprintf(stderr, "%s\n", toUtf8(text).c_str());
#endif
}

void showMessageNarrow(const std::string& text, unsigned style) {
    if (hook())
        return hook()({false, std::wstring(), text, style});
#ifdef _WIN32
    MessageBoxA(nullptr, text.c_str(), nullptr, style);
#else
    std::fprintf(stderr, "%s\n", text.c_str());
#endif
}
