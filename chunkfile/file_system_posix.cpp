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

} // namespace

Place locate(const std::wstring& path, const std::wstring& shownPath) {
    Place place{FileHandle(), std::string(), path};
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
        if (links == MOST_LINKS || length < 0)
            throw openFailure(shownPath);
        name = target.substr(0, std::size_t(length));
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

Replacement replace(const Place& target, const native::Name& replacement, FileHandle written) {
    // Another user who may write in the folder could have put something else under the
    // temporary file's name; only the file written takes the target's place.
    struct stat mine {
    }, named{};
    if (::fstat(written.get(), &mine) != 0 ||
        ::fstatat(target.folder.get(), replacement.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
        mine.st_dev != named.st_dev || mine.st_ino != named.st_ino ||
        ::renameat(target.folder.get(), replacement.c_str(), target.folder.get(),
                   target.name.c_str()) != 0)
        return Replacement::Refused;
    flushFolder(target);
    return Replacement::Done;
}

void remove(const Place& place, const native::Name& name) {
    ::unlinkat(place.folder.get(), name.c_str(), 0);
}

bool renameToFree(const Place& place, const native::Name& from, const native::Name& to) {
    return ::renameat2(place.folder.get(), from.c_str(), place.folder.get(), to.c_str(),
                       RENAME_NOREPLACE) == 0;
}

void flushFolder(const Place& place) {
    if (const FileHandle folder{::openat(place.folder.get(), ".", O_RDONLY | O_CLOEXEC)})
        ::fsync(folder.get());
}

bool exists(const std::wstring& path) {
    struct stat info {};
    return ::lstat(toUtf8(path).c_str(), &info) == 0;
}

bool isFolder(const std::wstring& path) {
    struct stat info {};
    return ::stat(toUtf8(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isSameFile(const std::wstring& a, const std::wstring& b) {
    struct stat first {
    }, second{};
    if (::stat(toUtf8(a).c_str(), &first) != 0 || ::stat(toUtf8(b).c_str(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace filesystem_ops
