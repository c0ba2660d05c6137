#include "file_system.h"
#include "native.h"
#include "utf8.h"
#include "wexception.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace filesystem_ops {

namespace {

// Folders are held only to work relative to them: search permission is enough.
constexpr int FOLDER = O_PATH | O_DIRECTORY | O_CLOEXEC;
constexpr int MOST_LINKS = 40; // as the kernel follows

// Opens `folder` (empty, or ending in "/") from `start` one folder at a time, so that no
// length limit applies.
FileHandle openFolder(int start, const std::string& folder, const std::wstring& shownPath) {
    FileHandle current(::openat(start, folder.rfind('/', 0) == 0 ? "/" : ".", FOLDER));
    std::size_t begin = 0;
    while (current && begin < folder.size()) {
        const std::size_t end = folder.find('/', begin);
        if (end > begin)
            current = FileHandle(
                ::openat(current.get(), folder.substr(begin, end - begin).c_str(), FOLDER));
        begin = end + 1;
    }
    if (!current)
        native::throwOpenFailure(shownPath);
    return current;
}

// Each name of a list of extended attributes (names ended by a null character) in turn,
// while `step` returns true.
template <typename Step> bool eachName(const std::string& names, Step step) {
    for (std::size_t at = 0; at < names.size(); at += std::strlen(names.c_str() + at) + 1)
        if (!step(names.c_str() + at))
            return false;
    return true;
}

bool listed(const std::string& names, const char* name) {
    return !eachName(names, [&](const char* other) { return std::strcmp(name, other) != 0; });
}

// The names of a file's extended attributes; none on a file system that has none.
std::optional<std::string> attributeNames(int file) {
    const ssize_t size = ::flistxattr(file, nullptr, 0);
    std::string names(size > 0 ? std::size_t(size) : 0, '\0');
    const ssize_t length = ::flistxattr(file, names.data(), names.size());
    if (length < 0)
        return errno == ENOTSUP ? std::optional<std::string>("") : std::nullopt;
    names.resize(std::size_t(length));
    return names;
}

bool copyAttributes(int from, int to) {
    const std::optional<std::string> wanted = attributeNames(from), had = attributeNames(to);
    if (!wanted || !had)
        return false;
    // What the new file took from its folder (a default ACL) and the old one lacks goes.
    const bool cleared = eachName(*had, [&](const char* name) {
        return listed(*wanted, name) || ::fremovexattr(to, name) == 0;
    });
    return cleared && eachName(*wanted, [&](const char* name) {
               std::string value(
                   std::size_t(std::max<ssize_t>(::fgetxattr(from, name, nullptr, 0), 0)), '\0');
               const ssize_t size = ::fgetxattr(from, name, value.data(), value.size());
               return size >= 0 && ::fsetxattr(to, name, value.data(), std::size_t(size), 0) == 0;
           });
}

// Whether a link with `link`'s owner may be followed from `folder`. Others who may write a
// sticky folder could plant a link there to any file: like the kernel for other
// programs, follow one only when it belongs to the user or to the folder's owner.
bool mayFollow(int folder, const struct stat& link) {
    struct stat info {};
    if (::fstat(folder, &info) != 0)
        return false;
    const bool othersMayPlant = (info.st_mode & S_ISVTX) && (info.st_mode & (S_IWGRP | S_IWOTH));
    return !othersMayPlant || link.st_uid == ::geteuid() || link.st_uid == info.st_uid;
}

FileStamp stampFrom(const struct stat& info) {
    FileStamp stamp;
    stamp.device = info.st_dev;
    stamp.index = info.st_ino;
    stamp.size = std::uint64_t(info.st_size);
    stamp.modified = std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    stamp.changed = std::int64_t(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    stamp.folder = S_ISDIR(info.st_mode);
    return stamp;
}

} // namespace

std::optional<FileStamp> stampOf(int file) {
    struct stat info {};
    if (::fstat(file, &info) != 0)
        return std::nullopt;
    return stampFrom(info);
}

std::optional<FileStamp> stampAt(const Place& place) {
    struct stat info {};
    if (::fstatat(place.folder.get(), place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    return stampFrom(info);
}

FileHandle openForReading(const Place& place, const std::wstring& shownPath) {
    FileHandle file(::openat(place.folder.get(), place.name.c_str(),
                             O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file && errno == ENOENT)
        return FileHandle();
    // A FIFO or a device is opened without waiting, and then refused unread.
    struct stat info {};
    if (!file || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        throw openFailure(shownPath);
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    return file;
}

Place locate(const std::wstring& path, const std::wstring& shownPath) {
    Place place{FileHandle(), std::string(), path, false};
    std::string name = toUtf8(path);
    for (int links = 0;; ++links) {
        const std::size_t cut = name.rfind('/') + 1;
        place.folder = openFolder(place.folder ? place.folder.get() : AT_FDCWD, name.substr(0, cut),
                                  shownPath);
        place.name = cut < name.size() ? name.substr(cut) : ".";
        struct stat info {};
        if (::fstatat(place.folder.get(), place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISLNK(info.st_mode))
            return place;
        std::string target(PATH_MAX, '\0'); // more than any link holds
        const ssize_t length =
            ::readlinkat(place.folder.get(), place.name.c_str(), target.data(), target.size());
        if (links == MOST_LINKS || length < 0 || !mayFollow(place.folder.get(), info))
            throw openFailure(shownPath);
        name = target.substr(0, std::size_t(length));
        place.throughLink = true;
        place.shown = (name[0] == '/' ? L"" : folderOf(place.shown)) + fromUtf8(name);
    }
}

native::Name beside(const Place&, const std::wstring& name) {
    return toUtf8(name);
}

FileHandle openExisting(const Place& place, const std::wstring& shownPath) {
    struct stat info {}; // left empty, and so refused below, when it cannot be looked at
    if (::fstatat(place.folder.get(), place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 &&
        errno == ENOENT)
        return FileHandle();
    // Root may write anything; a file the user protected is refused all the same. A FIFO
    // or a device is not even opened (it may wait, or act); what is opened is checked
    // again, as it may have been swapped in meanwhile.
    const auto writable = [&] { return S_ISREG(info.st_mode) && (info.st_mode & S_IWUSR); };
    if (!writable())
        throw openFailure(shownPath);
    FileHandle file(::openat(place.folder.get(), place.name.c_str(),
                             O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file || ::fstat(file.get(), &info) != 0 || !writable())
        throw openFailure(shownPath);
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    return file;
}

NewFile createNew(const Place& place, const native::Name& name) {
    FileHandle file(::openat(place.folder.get(), name.c_str(),
                             O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file)
        return {Creation::Created, std::move(file)};
    if (errno == EEXIST)
        return {Creation::NameTaken, FileHandle()};
    if (errno == EACCES || errno == EPERM)
        return {Creation::FolderRefuses, FileHandle()};
    return {Creation::Failed, FileHandle()};
}

bool giveIdentity(int original, int replacement) {
    struct stat info {};
    // The owner first: giving it clears the set-user and set-group bits that the mode
    // then restores, and the mode last, as an ACL copied before sets its group bits.
    return ::fstat(original, &info) == 0 && info.st_nlink == 1 &&
           ::fchown(replacement, info.st_uid, info.st_gid) == 0 &&
           copyAttributes(original, replacement) &&
           ::fchmod(replacement, info.st_mode & 07777) == 0;
}

void giveNewFileMode(int file) {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(file, 0666 & ~mask);
}

void giveGroupAndMode(int original, int copy) {
    struct stat info {};
    if (::fstat(original, &info) != 0)
        return;
    const mode_t withoutGroup = ::fchown(copy, uid_t(-1), info.st_gid) == 0 ? 0 : 070;
    ::fchmod(copy, info.st_mode & 0777 & ~withoutGroup);
}

namespace {

// Gives `from` the name `to` in `folder` unless anything has that name: in one step where
// the file system can, else by a second link that the name's owner cannot have made.
Replacement renameIfFree(int folder, const char* from, const char* to) {
    if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0)
        return Replacement::Done;
    if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
        if (::linkat(folder, from, folder, to, 0) == 0) {
            ::unlinkat(folder, from, 0);
            return Replacement::Done;
        }
    }
    return errno == EEXIST ? Replacement::NameTaken : Replacement::Refused;
}

} // namespace

Replacement replace(const Place& target, const native::Name& replacement, FileHandle written,
                    Existing existing) {
    // Another user who may write in the folder could have put something else under the
    // temporary file's name; only the file written takes the target's place.
    const int folder = target.folder.get();
    const std::optional<FileStamp> mine = stampOf(written.get());
    struct stat named {};
    if (!mine || ::fstatat(folder, replacement.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        !mine->isSameFile(stampFrom(named)))
        return Replacement::Refused;
    Replacement done = Replacement::Done;
    if (existing == Existing::Keep)
        done = renameIfFree(folder, replacement.c_str(), target.name.c_str());
    else if (::renameat(folder, replacement.c_str(), folder, target.name.c_str()) != 0)
        done = Replacement::Refused;
    if (done == Replacement::Done)
        flushFolder(target);
    return done;
}

void remove(const Place& place, const native::Name& name) {
    ::unlinkat(place.folder.get(), name.c_str(), 0);
}

bool renameToFree(const Place& place, const native::Name& from, const native::Name& to) {
    return renameIfFree(place.folder.get(), from.c_str(), to.c_str()) == Replacement::Done;
}

void flushFolder(const Place& place) {
    if (const FileHandle folder{::openat(place.folder.get(), ".", O_RDONLY | O_CLOEXEC)})
        ::fsync(folder.get());
}

} // namespace filesystem_ops
