#pragma once

#include "file_handle.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// The file-system operations that a safe write needs beyond PhysicalFile. One
// implementation per platform; none of them throws unless it says so.
namespace filesystem_ops {

// The platform's path syntax: what separates the folders and the name of a path (on
// Windows also the drive's colon), what separates folders alone, and what ends a name's
// extension as the shell finds it (a space, a folder separator; on Windows only \).
extern const wchar_t PATH_SEPARATORS[], FOLDER_SEPARATORS[], EXTENSION_ENDS[];

// The folder part of `path`, with its trailing separator; empty for a bare name.
inline std::wstring folderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(PATH_SEPARATORS) + 1);
}

// Where a file lies, found once, so that no later step looks its path up again: its
// folder, held open, and its name there (POSIX). On Windows no folder is held and the
// name is the full path.
struct Place {
    FileHandle folder;
    native::Name name;
    std::wstring shown;       // the path as a user can follow it: as given, or as a link says
    bool throughLink = false; // the name given is a symbolic link, and this is where it led
};

// The place of `path`, following symbolic links one at a time, each relative to the
// folder that holds it, however long the path they make together. Throws as
// native::throwOpenFailure does for `shownPath` (a missing folder, a loop of links). In a
// sticky folder that others may write, a link is followed only when it belongs to the
// user or to the folder's owner, as the kernel follows links for other programs there.
Place locate(const std::wstring& path, const std::wstring& shownPath);

// `path` with the file's name as it is on disk: on Windows not an 8.3 short name or
// another letter case that also finds it; elsewhere, and where it cannot be told, `path`.
std::wstring withNameOnDisk(const std::wstring& path);

// Which file a name holds, and what tells that the file changed: device and inode, size,
// modification and change times (on Windows the volume's serial number, the file's
// index, its size and last write time).
struct FileStamp {
    std::uint64_t device = 0, index = 0, size = 0;
    std::int64_t modified = 0, changed = 0;
    bool folder = false;

    bool isSameFile(const FileStamp& other) const {
        return device == other.device && index == other.index;
    }
    bool operator==(const FileStamp& other) const {
        return isSameFile(other) && size == other.size && modified == other.modified &&
               changed == other.changed;
    }
};

// The stamp of an open file; none when the system cannot tell it.
std::optional<FileStamp> stampOf(FileHandle::Type file);
// The stamp of what has the name at `place` now, a link not followed; none when nothing
// has it or it cannot be looked at.
std::optional<FileStamp> stampAt(const Place& place);

// The file at `place`, opened for reading only, without following a link, without
// waiting and without standing in another program's way; none when it is missing.
// Throws IOException ("Unable to open file:\n" + shownPath) for anything but a plain file.
FileHandle openForReading(const Place& place, const std::wstring& shownPath);

// The name of a file called `name` in the folder of `place`, as the calls below take it.
native::Name beside(const Place& place, const std::wstring& name);

// The file at `place`, opened for reading and writing without following a link and
// without waiting; none when it is missing. Throws IOException ("Unable to open file:\n"
// + shownPath) for what must not be written: anything but a plain file, a read-only file
// (the owner's write bit, or the read-only attribute, checked explicitly so that the
// refusal also holds for administrators), a file locked by another program.
FileHandle openExisting(const Place& place, const std::wstring& shownPath);

enum class Creation { Created, NameTaken, FolderRefuses, Failed };
struct NewFile {
    Creation outcome;
    FileHandle file;
};

// Who may use a file created by createNew before it is given anything else.
enum class NewFileAccess {
    CreatorOnly, // for a copy, or a file that takes the place of an existing one
    AsAnyNewFile // the usual creation mode, the umask and the folder's default ACL
};

// Creates the file `name` (see beside) for reading and writing, only if no file or link
// has that name. FolderRefuses: the folder takes no new file for want of permission.
// Failed leaves the error for native::throwOpenFailure.
NewFile createNew(const Place& place, const native::Name& name, NewFileAccess access);

// What a user of a file sees of it beside its content, read through its handle.
struct Identity {
    // POSIX: owner, group, mode with its set-user and set-group bits, every extended
    // attribute (ACLs, security.capability) and the flags a user may set (chattr).
    // Windows: the attributes hidden, system, archive and not content-indexed, in `flags`.
    std::uint32_t owner = 0, group = 0, mode = 0, flags = 0;
    std::vector<std::pair<std::string, std::string>> attributes;
    std::uint64_t links = 0;
};
// None when it cannot all be read.
std::optional<Identity> identityOf(FileHandle::Type file);

// Gives `file` the identity `wanted`: owner, then attributes, then flags, then mode, so that
// none of them takes away what came before, each only where it differs. Called when the
// content is written and flushed, as a write takes away security.capability and, for
// anybody but root, the set-user and set-group bits. False when something that differs
// cannot be given. (On Windows ReplaceFileW carries owner, security and streams itself.)
bool giveIdentity(const Identity& wanted, FileHandle::Type file);

// For a copy of the file whose identity is `original`: nothing that file does not grant.
// Its owner and group where this user may give them, its ACL or none (never what the
// copy took from its folder), and its permission bits; only the owner's bits where its
// ACL or group cannot be given (POSIX).
void giveCopyAccess(const Identity& original, FileHandle::Type copy);

// A place in the system's temporary folder (TMPDIR, else /tmp; GetTempPathW) for a file
// called `name`; none when that folder cannot be opened.
std::optional<Place> temporaryFolderPlace(const std::wstring& name);

enum class Replacement { Done, Refused, Held, NotReplaceable, OnlyReplacementLeft, NameTaken };
enum class Existing { Replace, Keep };

// Puts the file `replacement` (see beside), which must still be the one `written` holds
// open, in place of the file at `target` (which may be missing) in one step, closes
// `written` and makes the change durable. With Existing::Keep the step itself fails when
// anything has the target's name (NameTaken), so that no earlier look decides it. Retries
// briefly while another program holds the target (Windows). Refused: what was at `target`
// is still there. Held: so too, as another
// program holds it (Windows). NotReplaceable: so too, but the replace itself cannot be done
// there (Windows: ReplaceFileW failed for another reason than sharing); the file is to be
// rewritten in place. OnlyReplacementLeft: the old file is gone and the replacement,
// complete, is still at its own name.
Replacement replace(const Place& target, const native::Name& replacement, FileHandle written,
                    Existing existing = Existing::Replace);

void remove(const Place& place, const native::Name& name);
// Gives the file `from` the name `to` (both beside `place`) unless a file has that name.
bool renameToFree(const Place& place, const native::Name& from, const native::Name& to);
// Makes the names in the folder of `place` durable (POSIX).
void flushFolder(const Place& place);

} // namespace filesystem_ops
