#pragma once

#include "file.h"
#include "held_file.h"

#include <cstdint>
#include <functional>
#include <string>

enum class WriteTarget {
    ExistingFile,  // the held file itself (a map)
    NewOrExisting, // created when missing, replaced when there (a preview with --force)
    NewFile,       // created; never put over anything that has the name by then
};

// Puts what `writeContent` writes at `place` (found by filesystem_ops::locate for `path`,
// which messages name), and the file there stays the same file to everyone who uses it:
// owner, group, mode, ACLs, extended attributes, hard links.
//
// The content goes to a temporary file beside it, created for this write alone and never
// opened by name again, is flushed, is given all of that, and then takes the place of
// what was at `place` in one step: a failure at any point, or an interruption (see
// interruption.h), leaves that as it was and no file behind. Where a new file cannot be
// given all of that (another owner, several hard links, an attribute that cannot be set),
// a complete copy of the old file is flushed beside it (in the system's temporary folder
// where its folder takes no new file) and the file is rewritten in place, with
// interruptions held; the copy goes when that is done. Where no copy can be made, the old
// file stays as it was.
//
// `beforeInPlace`, if given, is called before a file is rewritten in place, when the old
// content is about to go, with the complete, flushed copy of it, so that content read from
// the old file is read from the copy instead.
//
// `source`, if given, is the held file the content is read from: once the content is
// written, it must be as it was held, or nothing is changed and changedWhileRead is
// thrown. For ExistingFile it is the file at `place` itself, and the name there must still
// hold it, checked before the file is opened for writing and again before the replace.
//
// Returns false, with nothing changed, only for NewFile when something has the name.
// Failures: a missing folder gives FileNotFoundException ("Unable to find file:\n" +
// path); anything at `path` that is not a plain file, is read-only, is locked or cannot be
// replaced gives IOException ("Unable to open file:\n" + path); a folder holding too many
// temporary files to take another says so; a failed write or flush gives WriteException,
// or, when it left a file rewritten in place incomplete, IOException with "Unable to write
// file" and the path of the copy that was kept.
bool writeFileSafely(const filesystem_ops::Place& place, const std::wstring& path,
                     WriteTarget target, const std::function<void(PhysicalFile&)>& writeContent,
                     HeldFile* source = nullptr,
                     const std::function<void(PhysicalFile&)>& beforeInPlace = nullptr);

// Rewrites the held file `file` (WriteTarget::ExistingFile).
void writeFileSafely(HeldFile& file, const std::function<void(PhysicalFile&)>& writeContent,
                     const std::function<void(PhysicalFile&)>& beforeInPlace = nullptr);

// Writes `path`, looked up once: an existing file is held first (ExistingFile), or the
// place found (the others).
bool writeFileSafely(const std::wstring& path, WriteTarget target,
                     const std::function<void(PhysicalFile&)>& writeContent,
                     const std::function<void(PhysicalFile&)>& beforeInPlace = nullptr);

// Test seams: when set, called with the path of each temporary file right after it is
// created, and just before the replace, with interruptions held; and asked for the number
// each temporary file's name is drawn from.
extern void (*afterTemporaryFileCreated)(const std::wstring& path);
extern void (*whileReplacing)();
extern std::uint64_t (*temporaryNameNumber)();
