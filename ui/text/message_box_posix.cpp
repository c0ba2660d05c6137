#include "message_box.h"

#include <cstdio>

namespace {

void printMessage(const ShownMessage& message) {
    const std::string text = message.wide ? toUtf8(message.text) : message.narrowText;
    std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace

void (*presentMessage)(const ShownMessage& message) = printMessage;
