#include "file_system.h"
#include "wexception.h"
#include "win32_path.h"

#include <windows.h>

namespace filesystem_ops {

namespace {

// Owns a handle opened only to look at a file.
struct ScopedHandle {
    explicit ScopedHandle(HANDLE h) : handle(h) {}
    ~ScopedHandle() {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    HANDLE handle;
};

constexpr DWORD REPLACE_RETRY_STEP_MS = 50;
constexpr int REPLACE_ATTEMPTS = 20; // about a second: it runs on the dialog's thread

bool moveIntoPlace(const std::wstring& target, const std::wstring& replacement) {
    return MoveFileExW(win32Path(replacement).c_str(), win32Path(target).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

} // namespace

std::wstring replaceablePath(const std::wstring& path) {
    return fullPathName(path);
}

void requireWritable(const std::wstring& path, const std::wstring& shownPath) {
    const DWORD attributes = GetFileAttributesW(win32Path(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            throw notFound(shownPath);
        throw openFailure(shownPath);
    }
    // Checked explicitly: an administrator (or Wine, which maps the attribute to Unix
    // permissions) could otherwise replace a map the user protected.
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        throw openFailure(shownPath);
    ScopedHandle probe(CreateFileW(win32Path(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (probe.handle == INVALID_HANDLE_VALUE)
        throw openFailure(shownPath);
}

std::wstring folderOf(const std::wstring& path) {
    const auto separator = path.find_last_of(L"\\/:");
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

bool createNewFile(const std::wstring& path) {
    ScopedHandle created(CreateFileW(win32Path(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    return created.handle != INVALID_HANDLE_VALUE;
}

bool removeFile(const std::wstring& path) {
    return DeleteFileW(win32Path(path).c_str()) != 0;
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(win32Path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void copyPermissions(const std::wstring&, const std::wstring&) {
    // ReplaceFileW carries the attributes and security of the replaced file over.
}

bool replaceFile(const std::wstring& target, const std::wstring& replacement) {
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < REPLACE_ATTEMPTS; ++attempt) {
        if (ReplaceFileW(win32Path(target).c_str(), win32Path(replacement).c_str(), nullptr,
                         REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return true;
        error = GetLastError();
        // A virus scanner or indexer may hold either file for a moment.
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
            break;
        Sleep(REPLACE_RETRY_STEP_MS);
    }
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION) {
        // Still held: the old map is in place and must stay so.
        if (exists(target))
            return false;
    }
    // ReplaceFileW can fail after it has moved the old file away
    // (ERROR_UNABLE_TO_MOVE_REPLACEMENT), and some file systems do not support it at
    // all. Either way the complete replacement goes into place with a plain move; the
    // old map is never left missing.
    return moveIntoPlace(target, replacement);
}

bool isSameFile(const std::wstring& a, const std::wstring& b) {
    ScopedHandle first(CreateFileW(win32Path(a).c_str(), FILE_READ_ATTRIBUTES,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    ScopedHandle second(CreateFileW(win32Path(b).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (first.handle == INVALID_HANDLE_VALUE || second.handle == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION one{}, two{};
    if (!GetFileInformationByHandle(first.handle, &one) ||
        !GetFileInformationByHandle(second.handle, &two))
        return false;
    return one.dwVolumeSerialNumber == two.dwVolumeSerialNumber &&
           one.nFileIndexHigh == two.nFileIndexHigh && one.nFileIndexLow == two.nFileIndexLow;
}

} // namespace filesystem_ops
