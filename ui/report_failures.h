#pragma once

#include "message_box.h"
#include "wexception.h"

#include <exception>

// Runs `body` as a user-facing entry point does: a standard exception escaping it is
// shown with its narrow text, a wexception with its wide message, each in a message box
// with style MB_OK. True when `body` ran to its end. Other exceptions pass.
template <typename Body> bool reportFailures(Body&& body) {
    try {
        body();
        return true;
    } catch (const std::exception& e) {
        showMessageNarrow(e.what(), MESSAGE_OK);
    } catch (const wexception& e) {
        showMessage(e.message, MESSAGE_OK);
    }
    return false;
}
