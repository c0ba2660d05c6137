#pragma once

#include <string>

// The few file-system operations that a safe write needs beyond PhysicalFile. One
// implementation per platform; none of them throws unless it says so.
namespace filesystem_ops {

// The path that a replace has to act on: where a symbolic link points (POSIX), or the
// full path (Windows, whose replace call needs one).
std::wstring replaceablePath(const std::wstring& path);

enum class Target { Missing, PlainFile };

// What stands at `path`. Throws IOException ("Unable to open file:\n" + shownPath) for
// what must not be replaced: anything but a plain file, a read-only file (the owner's
// write bit, or the read-only attribute, checked explicitly so that the refusal also
// holds for administrators), or a file locked by another program. Opens nothing that
// could wait, and never truncates. A missing file, or a missing folder on its path, is
// Missing.
Target inspectTarget(const std::wstring& path, const std::wstring& shownPath);

// What separates the folders and the name of a path: on Windows also the drive's colon.
#ifdef _WIN32
constexpr const wchar_t* PATH_SEPARATORS = L"\\/:";
#else
constexpr const wchar_t* PATH_SEPARATORS = L"/";
#endif

// The folder part of `path`, with its trailing separator; empty for a bare name.
inline std::wstring folderOf(const std::wstring& path) {
    return path.substr(0, path.find_last_of(PATH_SEPARATORS) + 1);
}

enum class Creation { Created, NameTaken, FolderRefuses };

// Creates an empty file that did not exist before. FolderRefuses: the folder takes no new
// file for want of permission. Any other failure throws as native::throwOpenFailure does
// for `shownPath`.
Creation createNewFile(const std::wstring& path, const std::wstring& shownPath);

bool removeFile(const std::wstring& path);
bool exists(const std::wstring& path);

// Gives `replacement` the permissions of `original` where the platform needs it, or,
// when `original` is missing, those of a new file.
void copyPermissions(const std::wstring& original, const std::wstring& replacement);

// Puts `replacement` in place of `target` (which may be missing) in one step and makes
// the change durable. Retries briefly while another program holds the target. When it
// fails, what was at `target` is still there, complete (the old file or, if the old one
// could not be kept, the replacement); `replacement` is then left for the caller.
bool replaceFile(const std::wstring& target, const std::wstring& replacement);

// True when both paths name one existing file, however spelt.
bool isSameFile(const std::wstring& a, const std::wstring& b);

} // namespace filesystem_ops
