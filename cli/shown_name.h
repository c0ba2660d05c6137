#pragma once

#include <string>

// A name as messages show it, the way `ls -b` does, so that no name can break a line or
// drive the terminal: a line feed, tab or carriage return as \n, \t or \r, every other
// byte of a control character (C0, DEL, and C1 as its UTF-8 bytes) as a backslash and
// three octal digits ("\033", "\177", "\302\233"), and so is a byte that is no part of
// valid UTF-8 (held as U+DC80 to U+DCFF, see utf8.h), which a terminal could take for a
// C1 control ("\233"); everything else as given.
std::wstring shownName(const std::wstring& name);
