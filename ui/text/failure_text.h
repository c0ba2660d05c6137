#pragma once

#include "message_box.h"
#include "wexception.h"

#include <exception>
#include <new>
#include <optional>
#include <string>

// Runs `body` as the user-facing entry points do: a standard exception or a wexception
// escaping it comes back as the message the user reads (the system running out of memory
// as a sentence, not the library's "std::bad_alloc"), anything else passes on. Nothing
// when `body` ran to its end.
template <typename Body> std::optional<ShownMessage> failureOf(Body&& body) {
    try {
        body();
    } catch (const std::bad_alloc&) {
        return ShownMessage{true,
                            L"Not enough memory: the system refused more, and the work stopped.",
                            std::string()};
    } catch (const std::exception& e) {
        return ShownMessage{false, std::wstring(), e.what()};
    } catch (const wexception& e) {
        return ShownMessage{true, e.message, std::string(), MESSAGE_OK, e.nameLength};
    }
    return std::nullopt;
}
