#pragma once

#include "file.h"

#include <functional>
#include <string>

// Replaces the content of the existing file `path` with what `writeContent` writes.
// The new content goes to a temporary file beside it, is flushed, and replaces the
// old file in one step, so that a failure at any point leaves the old content intact.
// Only where no file can be created beside it is the file rewritten in place.
//
// Failures: a file that is read-only, locked or cannot be replaced gives IOException
// ("Unable to open file:\n" + path); a failed write or flush gives WriteException.
void rewriteFileSafely(const std::wstring& path,
                       const std::function<void(PhysicalFile&)>& writeContent);
