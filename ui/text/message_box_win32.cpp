#include "message_box.h"

#include <windows.h>

namespace {

void showMessageBox(const ShownMessage& message) {
    if (message.wide)
        MessageBoxW(nullptr, message.text.c_str(), nullptr, message.style);
    else
        MessageBoxA(nullptr, message.narrowText.c_str(), nullptr, message.style);
}

} // namespace

void (*presentMessage)(const ShownMessage& message) = showMessageBox;
