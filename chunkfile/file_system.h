#pragma once

#include <string>

// The few file-system operations that a safe rewrite needs beyond PhysicalFile.
// One implementation per platform; none of them throws unless it says so.
namespace filesystem_ops {

// The path that a replace has to act on: where a symbolic link points (POSIX), or the
// full path (Windows, whose replace call needs one).
std::wstring replaceablePath(const std::wstring& path);

// Throws FileNotFoundException or IOException (with `shownPath` in the message) unless
// `path` is an existing plain file that may be written: not read-only (the owner's
// write bit, or the read-only attribute, checked explicitly so that the refusal also
// holds for administrators) and not locked by another program. Never truncates.
void requireWritable(const std::wstring& path, const std::wstring& shownPath);

// The folder part of `path`, with its trailing separator; empty for a bare name.
std::wstring folderOf(const std::wstring& path);

// Creates an empty file that did not exist before; false if it existed or cannot be made.
bool createNewFile(const std::wstring& path);

bool removeFile(const std::wstring& path);
bool exists(const std::wstring& path);

// Gives `replacement` the permissions of `original` where the platform needs it.
void copyPermissions(const std::wstring& original, const std::wstring& replacement);

// Puts `replacement` in place of `target` in one step and makes the change durable.
// Retries briefly while another program holds the target. When it fails, a complete
// file is still at `target` (the old one or, if the old one could not be kept, the
// replacement); `replacement` is then left for the caller to remove.
bool replaceFile(const std::wstring& target, const std::wstring& replacement);

// True when both paths name one existing file, however spelt.
bool isSameFile(const std::wstring& a, const std::wstring& b);

} // namespace filesystem_ops
