#pragma once

#include "file.h"

#include <functional>
#include <string>

enum class WriteTarget {
    ExistingFile,  // must exist already (a map)
    NewOrExisting, // created when missing (a preview)
};

// Puts what `writeContent` writes at `path`. The content goes to a temporary file beside
// it, is flushed, and then takes the place of what was at `path` in one step, so that a
// failure at any point, or an interruption (see interruption.h), leaves that as it was
// and no file behind. Only where the folder takes no new file is an existing file
// rewritten in place.
//
// Failures: a missing file (ExistingFile) or folder gives FileNotFoundException ("Unable
// to find file:\n" + path); anything at `path` that is not a plain file, is read-only,
// is locked or cannot be replaced gives IOException ("Unable to open file:\n" + path);
// a failed write or flush gives WriteException.
void writeFileSafely(const std::wstring& path, WriteTarget target,
                     const std::function<void(PhysicalFile&)>& writeContent);
