#pragma once

#include <string>

// Paths as the Win32 file calls take them. Without a prefix those calls stop at
// MAX_PATH (260 characters, terminator included); an absolute path that long is given
// to them in its extended-length form ("\\?\C:\..." or "\\?\UNC\server\share\..."),
// which they take up to about 32767 characters. Only the calls see that form: every
// message shows the path as the user gave it.
std::wstring win32Path(const std::wstring& path);

// A path that starts with "\\?\" or "\\.\" (either slash), which the system takes as it
// stands: win32Path leaves it as it is, and its "?" is no wildcard.
bool isDevicePath(const std::wstring& path);

// The full path of `path` (GetFullPathNameW), or `path` itself where there is none.
std::wstring fullPathName(const std::wstring& path);
