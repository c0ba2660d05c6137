#pragma once

#include "failure_text.h"
#include "message_box.h"

// Runs `body` as a user-facing entry point of the dialog program does: a failure escaping
// it is shown in a message box with style MB_OK, a standard exception's text with the
// narrow box. True when `body` ran to its end. Other exceptions pass.
template <typename Body> bool reportFailures(Body&& body) {
    const std::optional<ShownMessage> failure = failureOf(body);
    if (failure)
        presentMessage(*failure);
    return !failure;
}
