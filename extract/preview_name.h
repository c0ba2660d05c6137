#pragma once

#include <string>

// The map's file name without folder and extension, offered as the Targa file's name:
// "C:\maps\alpha.v2.ted" gives "alpha.v2", ".ted" gives "" and "a.b c" stays whole. The
// file name follows the last separator (on Windows \, / or :) that is followed by
// something other than a folder separator; its extension starts at the last dot that no
// space and no folder separator (on Windows only \) follows, as the shell finds it.
std::wstring bareFileName(const std::wstring& path);

// Where a preview goes by default: beside the map, under its bare name with ".tga"
// ("maps/alpha.v2.ted" gives "maps/alpha.v2.tga").
std::wstring defaultPreviewPath(const std::wstring& mapPath);
