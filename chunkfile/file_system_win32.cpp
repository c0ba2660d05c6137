#include "file_system.h"
#include "native.h"
#include "wexception.h"
#include "win32_path.h"

#include <windows.h>

namespace filesystem_ops {

const wchar_t PATH_SEPARATORS[] = L"\\/:", FOLDER_SEPARATORS[] = L"\\/", EXTENSION_ENDS[] = L"\\ ";

namespace {

constexpr DWORD REPLACE_RETRY_STEP_MS = 50;
constexpr int REPLACE_ATTEMPTS = 20; // about a second: it runs on the dialog's thread
// What a user set and a new file in the old one's place would not have.
constexpr DWORD KEPT_ATTRIBUTES = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                  FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

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

bool exists(const std::wstring& path) {
    return GetFileAttributesW(win32Path(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The name the file at `path` has on disk, read from a handle to it: not an 8.3 short name
// or another letter case that also finds it, which ReplaceFileW would give the new file.
std::wstring realName(const std::wstring& path) {
    const FileHandle file = openSharingAll(path, FILE_READ_ATTRIBUTES);
    std::wstring name(MAX_PATH, L'\0');
    for (int attempt = 0; file && attempt < 2; ++attempt) {
        const DWORD length = GetFinalPathNameByHandleW(file.get(), name.data(), DWORD(name.size()),
                                                       FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            break;
        if (length < name.size())
            return name.substr(0, length);
        name.resize(length);
    }
    return path;
}

} // namespace

Place locate(const std::wstring& path, const std::wstring&) {
    // The name the file has on disk, found once: replacing it by a short or differently
    // lettered name would give the new file that name.
    return Place{FileHandle(), realName(fullPathName(path)), path, false};
}

std::wstring withNameOnDisk(const std::wstring& path) {
    const std::wstring real = realName(path);
    return folderOf(path) + real.substr(folderOf(real).size());
}

native::Name beside(const Place& place, const std::wstring& name) {
    // As the calls take it, so that the handler of interruptions can pass it on as it is.
    return win32Path(folderOf(place.name) + name);
}

FileHandle openExisting(const Place& place, const std::wstring& shownPath) {
    const std::wstring path = win32Path(place.name);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return FileHandle();
        throw openFailure(shownPath);
    }
    // Checked explicitly: an administrator (or Wine, which maps the attribute to Unix
    // permissions) could otherwise replace a file the user protected.
    if (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))
        throw openFailure(shownPath);
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file || GetFileType(file.get()) != FILE_TYPE_DISK)
        throw openFailure(shownPath);
    return file;
}

std::optional<FileStamp> stampOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        return std::nullopt;
    const auto wide = [](DWORD high, DWORD low) { return (std::uint64_t(high) << 32) | low; };
    FileStamp stamp;
    stamp.device = info.dwVolumeSerialNumber;
    stamp.index = wide(info.nFileIndexHigh, info.nFileIndexLow);
    stamp.size = wide(info.nFileSizeHigh, info.nFileSizeLow);
    stamp.modified = stamp.changed =
        std::int64_t(wide(info.ftLastWriteTime.dwHighDateTime, info.ftLastWriteTime.dwLowDateTime));
    stamp.folder = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    return stamp;
}

std::optional<FileStamp> stampAt(const Place& place) {
    const FileHandle file(
        CreateFileW(win32Path(place.name).c_str(), FILE_READ_ATTRIBUTES,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return file ? stampOf(file.get()) : std::nullopt;
}

FileHandle openForReading(const Place& place, const std::wstring& shownPath) {
    // Shared for everything, as a reader never stands in another program's way; a change
    // meanwhile shows in the file's stamp.
    FileHandle file(CreateFileW(win32Path(place.name).c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return FileHandle();
        SetLastError(error);
        native::throwOpenFailure(shownPath);
    }
    // A device name (CON, NUL, COM1) or a pipe is no file to read.
    if (GetFileType(file.get()) != FILE_TYPE_DISK)
        throw openFailure(shownPath);
    return file;
}

NewFile createNew(const Place&, const native::Name& name, NewFileAccess) {
    // A new file takes its folder's security either way; a copy is given the old file's
    // own by giveCopyAccess.
    // Shared for deletion, so that an interrupted run can remove it while it is written.
    FileHandle file(CreateFileW(win32Path(name).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file)
        return {Creation::Created, std::move(file)};
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
        return {Creation::NameTaken, FileHandle()};
    if (error == ERROR_ACCESS_DENIED)
        return {Creation::FolderRefuses, FileHandle()};
    SetLastError(error);
    return {Creation::Failed, FileHandle()};
}

std::optional<Identity> identityOf(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info))
        return std::nullopt;
    Identity identity;
    identity.flags = info.dwFileAttributes & KEPT_ATTRIBUTES;
    identity.links = info.nNumberOfLinks;
    return identity;
}

bool giveIdentity(const Identity& wanted, HANDLE file) {
    // ReplaceFileW gives the new file the old one's security and streams; the attributes are
    // set here, as Wine's drops hidden and system.
    FILE_BASIC_INFO info{};
    if (!GetFileInformationByHandleEx(file, FileBasicInfo, &info, sizeof info))
        return false;
    const DWORD attributes = (info.FileAttributes & ~KEPT_ATTRIBUTES) | wanted.flags;
    if (attributes == info.FileAttributes)
        return true;
    FILE_BASIC_INFO change{}; // times of 0 stay as they are
    change.FileAttributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file, FileBasicInfo, &change, sizeof change) != 0;
}

void giveCopyAccess(const Identity&, HANDLE) {
    // The copy takes the security of the folder it is in, as the file beside it did, or the
    // user's own temporary folder's.
}

std::optional<Place> temporaryFolderPlace(const std::wstring& name) {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH)
        return std::nullopt;
    const std::wstring path = std::wstring(folder, length) + name;
    return Place{FileHandle(), fullPathName(path), path};
}

Replacement replace(const Place& target, const native::Name& replacement, FileHandle written,
                    Existing existing) {
    written.reset(); // the calls below open it by name
    const std::wstring& name = target.name;
    if (existing == Existing::Keep) {
        // Without MOVEFILE_REPLACE_EXISTING the move itself refuses a name that is taken.
        if (MoveFileExW(win32Path(replacement).c_str(), win32Path(name).c_str(),
                        MOVEFILE_WRITE_THROUGH))
            return Replacement::Done;
        const DWORD error = GetLastError();
        return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? Replacement::NameTaken
                                                                           : Replacement::Refused;
    }
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < REPLACE_ATTEMPTS; ++attempt) {
        if (heldByAnother(name))
            error = ERROR_SHARING_VIOLATION;
        else if (ReplaceFileW(win32Path(name).c_str(), win32Path(replacement).c_str(), nullptr,
                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr))
            return Replacement::Done;
        else
            error = GetLastError();
        // Nothing to replace: the move itself puts the new file in place.
        if (error == ERROR_FILE_NOT_FOUND)
            return moveIntoPlace(name, replacement) ? Replacement::Done : Replacement::Refused;
        // A virus scanner or indexer may hold either file for a moment.
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
            break;
        Sleep(REPLACE_RETRY_STEP_MS);
    }
    // ReplaceFileW can fail after it has moved the old file away
    // (ERROR_UNABLE_TO_MOVE_REPLACEMENT): the complete replacement then stays where it is.
    if (!exists(name))
        return Replacement::OnlyReplacementLeft;
    // Still held: the old file is in place and must stay so.
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return Replacement::Held;
    // Some file systems do not support it at all. A plain move over the old file would
    // give the map the folder's security: the old file is rewritten in place instead.
    return Replacement::NotReplaceable;
}

void remove(const Place&, const native::Name& name) {
    DeleteFileW(win32Path(name).c_str());
}

bool renameToFree(const Place&, const native::Name& from, const native::Name& to) {
    return MoveFileExW(win32Path(from).c_str(), win32Path(to).c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

void flushFolder(const Place&) {
    // The file system keeps its names durable itself.
}

} // namespace filesystem_ops
