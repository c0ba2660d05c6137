#pragma once

#include <string>

// Where a preview goes by default: beside the map, named as the map without its
// extension, plus ".tga" ("maps/alpha.v2.ted" gives "maps/alpha.v2.tga"). The name is
// cut as the dialog cuts the name it offers: the extension is the part from the last
// dot of the file name, unless a space follows that dot.
std::wstring defaultPreviewPath(const std::wstring& mapPath);
