#pragma once

#include "file.h"

#include <functional>
#include <string>

enum class WriteTarget {
    ExistingFile,  // must exist already (a map)
    NewOrExisting, // created when missing (a preview)
};

// Puts what `writeContent` writes at `path`, or where the symbolic link `path` points,
// and the file there stays the same file to everyone who uses it: owner, group, mode,
// ACLs, extended attributes, hard links.
//
// The content goes to a temporary file beside it, created for this write alone and never
// opened by name again, is flushed, is given all of that, and then takes the place of
// what was at `path` in one step: a failure at any point, or an interruption (see
// interruption.h), leaves that as it was and no file behind. Where a new file cannot be
// given all of that (another owner, several hard links, an attribute that cannot be set),
// a complete copy of the old file is flushed beside it and the file is rewritten in place,
// with interruptions held; the copy goes when that is done. Only where the folder takes no
// new file is a file rewritten in place without a copy.
//
// Failures: a missing file (ExistingFile) or folder gives FileNotFoundException ("Unable
// to find file:\n" + path); anything at `path` that is not a plain file, is read-only,
// is locked or cannot be replaced gives IOException ("Unable to open file:\n" + path);
// a failed write or flush gives WriteException, or, when it left a file rewritten in
// place incomplete, IOException with "Unable to write file" and the path of the copy
// that was kept.
//
// `beforeInPlace`, if given, is called before a file is rewritten in place, when the old
// content is about to go: with the complete, flushed copy of it, or with null where there
// is none, so that content read from the old file is read from the copy, or held, instead.
void writeFileSafely(const std::wstring& path, WriteTarget target,
                     const std::function<void(PhysicalFile&)>& writeContent,
                     const std::function<void(PhysicalFile* copy)>& beforeInPlace = nullptr);

// Test seam: when set, called with the path of each temporary file right after it is
// created.
extern void (*afterTemporaryFileCreated)(const std::wstring& path);
