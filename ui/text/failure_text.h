#pragma once

#include "utf8.h"
#include "wexception.h"

#include <exception>
#include <new>
#include <optional>
#include <string>

// What the user reads of a failure: a standard exception's text, narrow as the library
// gives it, or the wide message of the system's own.
struct FailureText {
    bool narrow;
    std::string narrowText;
    std::wstring text;
    std::size_t nameLength = 0; // how many characters at the end of `text` are a file's name

    std::wstring wide() const { return narrow ? fromUtf8(narrowText) : text; }
};

// Runs `body` as the user-facing entry points do: a standard exception or a wexception
// escaping it comes back as its text (the system running out of memory as a sentence, not
// the library's "std::bad_alloc"), anything else passes on. Nothing when `body` ran to its
// end.
template <typename Body> std::optional<FailureText> failureOf(Body&& body) {
    try {
        body();
    } catch (const std::bad_alloc&) {
        return FailureText{false, std::string(),
                           L"Not enough memory: the system refused more, and the work stopped."};
    } catch (const std::exception& e) {
        return FailureText{true, e.what(), std::wstring()};
    } catch (const wexception& e) {
        return FailureText{false, std::string(), e.message, e.nameLength};
    }
    return std::nullopt;
}
