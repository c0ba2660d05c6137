#pragma once

// Map paths that break naive code, shared by the tests of every front end: letters
// outside ASCII, spaces, several dots, and lengths around the 260 characters where
// plain Win32 calls stop.
#include "test_support.h"

#include <functional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

struct PathShape {
    const char* name;
    // A map path in the folder; its Targa file goes beside it under the same name.
    std::function<std::wstring(const TempDir&)> mapIn;
};

inline void PrintTo(const PathShape& shape, std::ostream* out) {
    *out << shape.name;
}

std::vector<PathShape> hostilePathShapes();
std::wstring withExtension(const std::wstring& path, const std::wstring& extension);
// The file name of a path, and the names in the folder that holds it.
std::wstring nameOf(const std::wstring& path);
std::set<std::wstring> namesBeside(const std::wstring& path);
