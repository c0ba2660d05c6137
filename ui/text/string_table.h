#pragma once

#include <string>

// The text of string-table entry `id` in the user's language (German on a German
// interface, English otherwise); empty when there is no such entry.
std::wstring loadResourceString(unsigned id);
