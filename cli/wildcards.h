#pragma once

#include <string>
#include <vector>

// Map arguments as the platform's shell leaves them. Windows shells hand "*.ted" to a
// program as it stands, so there each argument with * or ? becomes the files it matches
// (no folders), sorted by name, with the folder part kept as typed; one that matches
// nothing stays as it is. Elsewhere the shell has expanded them already: nothing changes.
std::vector<std::wstring> expandWildcards(const std::vector<std::wstring>& arguments);

// True for an argument that expandWildcards kept because it matched nothing.
bool isUnmatchedPattern(const std::wstring& argument);
