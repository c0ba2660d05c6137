#include "file_system.h"
#include "native.h"
#include "wexception.h"
#include "win32_path.h"

#include <windows.h>

namespace filesystem_ops {

namespace {

constexpr DWORD REPLACE_RETRY_STEP_MS = 50;
constexpr int REPLACE_ATTEMPTS = 20; // about a second: it runs on the dialog's thread

bool moveIntoPlace(const std::wstring& target, const std::wstring& replacement) {
    return MoveFileExW(win32Path(replacement).c_str(), win32Path(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

// A handle for `access` alone that shares everything, so that it never stands in another
// program's way; null when the file is missing or held against that access.
FileHandle openSharingAll(const std::wstring& path, DWORD access) {
    return FileHandle(CreateFileW(win32Path(path).c_str(), access,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

// Whether another program holds `path` open without sharing its deletion, so that it
// cannot be replaced now. Asked before each ReplaceFileW, as Wine's leaves a file
// "rf*.tmp" beside the target whenever it is refused for that.
bool heldByAnother(const std::wstring& path) {
    return !openSharingAll(path, DELETE) && GetLastError() == ERROR_SHARING_VIOLATION;
}

} // namespace

std::wstring replaceablePath(const std::wstring& path) {
    return fullPathName(path);
}

Target inspectTarget(const std::wstring& path, const std::wstring& shownPath) {
    const DWORD attributes = GetFileAttributesW(win32Path(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return Target::Missing;
        throw openFailure(shownPath);
    }
    // Checked explicitly: an administrator (or Wine, which maps the attribute to Unix
    // permissions) could otherwise replace a file the user protected.
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        throw openFailure(shownPath);
    const FileHandle probe(CreateFileW(win32Path(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe || GetFileType(probe.get()) != FILE_TYPE_DISK)
        throw openFailure(shownPath);
    return Target::PlainFile;
}

Creation createNewFile(const std::wstring& path, const std::wstring& shownPath) {
    if (FileHandle(CreateFileW(win32Path(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr)))
        return Creation::Created;
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
        return Creation::NameTaken;
    if (error == ERROR_ACCESS_DENIED)
        return Creation::FolderRefuses;
    SetLastError(error);
    native::throwOpenFailure(shownPath);
}

bool removeFile(const std::wstring& path) {
    return DeleteFileW(win32Path(path).c_str()) != 0;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(win32Path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void copyPermissions(const std::wstring&, const std::wstring&) {
    // ReplaceFileW carries the attributes and security of the replaced file over; a new
    // file takes its folder's, as the temporary beside it did.
}

bool replaceFile(const std::wstring& target, const std::wstring& replacement) {
    if (!exists(target))
        return moveIntoPlace(target, replacement);
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < REPLACE_ATTEMPTS; ++attempt) {
        if (heldByAnother(target))
            error = ERROR_SHARING_VIOLATION;
        else if (ReplaceFileW(win32Path(target).c_str(), win32Path(replacement).c_str(), nullptr,
                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return true;
        else
            error = GetLastError();
        // A virus scanner or indexer may hold either file for a moment.
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
            break;
        Sleep(REPLACE_RETRY_STEP_MS);
    }
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        // Still held: the old file is in place and must stay so.
        if (exists(target))
            return false;
    }
    // ReplaceFileW can fail after it has moved the old file away
    // (ERROR_UNABLE_TO_MOVE_REPLACEMENT), and some file systems do not support it at
    // all. Either way the complete replacement goes into place with a plain move; the
    // old file is never left missing.
    return moveIntoPlace(target, replacement);
}

bool isSameFile(const std::wstring& a, const std::wstring& b) {
    const FileHandle first = openSharingAll(a, FILE_READ_ATTRIBUTES),
                     second = openSharingAll(b, FILE_READ_ATTRIBUTES);
    BY_HANDLE_FILE_INFORMATION one{}, two{};
    if (!first || !second || !GetFileInformationByHandle(first.get(), &one) ||
        !GetFileInformationByHandle(second.get(), &two))
        return false;
    return one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
           one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

} // namespace filesystem_ops
