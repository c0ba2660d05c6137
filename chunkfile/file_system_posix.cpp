#include "file_system.h"
#include "native.h"
#include "utf8.h"
#include "wexception.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <linux/fs.h>
#include <optional>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace filesystem_ops {

const wchar_t PATH_SEPARATORS[] = L"/", FOLDER_SEPARATORS[] = L"/", EXTENSION_ENDS[] = L"/ ";

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

std::optional<std::string> attributeValue(int file, const char* name) {
    std::string value(std::size_t(std::max<ssize_t>(::fgetxattr(file, name, nullptr, 0), 0)), '\0');
    const ssize_t size = ::fgetxattr(file, name, value.data(), value.size());
    if (size < 0)
        return std::nullopt;
    value.resize(std::size_t(size));
    return value;
}

bool giveAttributes(const std::vector<std::pair<std::string, std::string>>& wanted, int file) {
    const std::optional<std::string> had = attributeNames(file);
    // What the new file took from its folder (a default ACL) and the old one lacks goes.
    return had &&
           eachName(*had,
                    [&](const char* name) {
                        return std::any_of(wanted.begin(), wanted.end(),
                                           [&](const auto& attribute) {
                                               return attribute.first == name;
                                           }) ||
                               ::fremovexattr(file, name) == 0;
                    }) &&
           std::all_of(wanted.begin(), wanted.end(), [&](const auto& attribute) {
               // One the file has already (a label every new file gets) need not be settable.
               const auto& [name, value] = attribute;
               return attributeValue(file, name.c_str()) == value ||
                      ::fsetxattr(file, name.c_str(), value.data(), value.size(), 0) == 0;
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

// The flags (chattr) that the owner may set, and that a new file does not take from the
// old one by itself; immutable and append-only files are never opened for writing.
constexpr int USER_FLAGS = FS_SECRM_FL | FS_UNRM_FL | FS_COMPR_FL | FS_SYNC_FL | FS_NODUMP_FL |
                           FS_NOATIME_FL | FS_NOCOMP_FL | FS_NOCOW_FL;

// A file system without flags has none to give.
int userFlags(int file) {
    int flags = 0;
    return ::ioctl(file, FS_IOC_GETFLAGS, &flags) == 0 ? flags & USER_FLAGS : 0;
}

bool giveFlags(int wanted, int file) {
    int flags = 0;
    if (::ioctl(file, FS_IOC_GETFLAGS, &flags) != 0)
        return wanted == 0;
    if ((flags & USER_FLAGS) == wanted)
        return true;
    flags = (flags & ~USER_FLAGS) | wanted;
    return ::ioctl(file, FS_IOC_SETFLAGS, &flags) == 0;
}

constexpr const char* ACCESS_ACL = "system.posix_acl_access";

// The file at `place`, opened with `access` (O_RDONLY or O_RDWR) without following a link;
// none when nothing has that name. Anything but a plain file, and for writing one its owner
// may not write (root may write anything; a file the user protected is refused all the
// same), is refused with openFailure. A FIFO or a device is not even opened (it may wait,
// or act); what is opened, without waiting, is checked again, as it may have been swapped
// in meanwhile.
FileHandle openPlainFile(const Place& place, int access, const std::wstring& shownPath) {
    struct stat info {}; // left empty, and so refused below, when it cannot be looked at
    if (::fstatat(place.folder.get(), place.name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 &&
        errno == ENOENT)
        return FileHandle();
    const auto plain = [&] {
        return S_ISREG(info.st_mode) && (access == O_RDONLY || (info.st_mode & S_IWUSR));
    };
    if (!plain())
        throw openFailure(shownPath);
    FileHandle file(::openat(place.folder.get(), place.name.c_str(),
                             access | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!file || ::fstat(file.get(), &info) != 0 || !plain())
        throw openFailure(shownPath);
    ::fcntl(file.get(), F_SETFL, ::fcntl(file.get(), F_GETFL) & ~O_NONBLOCK);
    return file;
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
    return openPlainFile(place, O_RDONLY, shownPath);
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

std::wstring withNameOnDisk(const std::wstring& path) {
    return path;
}

native::Name beside(const Place&, const std::wstring& name) {
    return toUtf8(name);
}

FileHandle openExisting(const Place& place, const std::wstring& shownPath) {
    return openPlainFile(place, O_RDWR, shownPath);
}

NewFile createNew(const Place& place, const native::Name& name, NewFileAccess access) {
    FileHandle file(::openat(place.folder.get(), name.c_str(),
                             O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                             access == NewFileAccess::CreatorOnly ? 0600 : 0666));
    if (file)
        return {Creation::Created, std::move(file)};
    if (errno == EEXIST)
        return {Creation::NameTaken, FileHandle()};
    if (errno == EACCES || errno == EPERM)
        return {Creation::FolderRefuses, FileHandle()};
    return {Creation::Failed, FileHandle()};
}

std::optional<Identity> identityOf(int file) {
    struct stat info {};
    const std::optional<std::string> names = attributeNames(file);
    if (::fstat(file, &info) != 0 || !names)
        return std::nullopt;
    Identity identity{
        info.st_uid, info.st_gid,  info.st_mode & 07777, std::uint32_t(userFlags(file)),
        {},          info.st_nlink};
    const bool read = eachName(*names, [&](const char* name) {
        const std::optional<std::string> value = attributeValue(file, name);
        if (value)
            identity.attributes.emplace_back(name, *value);
        return value.has_value();
    });
    return read ? std::optional<Identity>(std::move(identity)) : std::nullopt;
}

bool giveIdentity(const Identity& wanted, int file) {
    // Giving the owner clears the set-user and set-group bits and security.capability,
    // which come after it; the mode comes last, as an ACL given before sets its group bits.
    struct stat info {};
    const auto differs = [&] {
        return ::fstat(file, &info) != 0 || (info.st_mode & 07777) != wanted.mode;
    };
    return ::fstat(file, &info) == 0 &&
           ((info.st_uid == wanted.owner && info.st_gid == wanted.group) ||
            ::fchown(file, wanted.owner, wanted.group) == 0) &&
           giveAttributes(wanted.attributes, file) && giveFlags(int(wanted.flags), file) &&
           (!differs() || ::fchmod(file, wanted.mode) == 0);
}

void giveCopyAccess(const Identity& original, int copy) {
    const bool groupGiven = ::fchown(copy, original.owner, original.group) == 0 ||
                            ::fchown(copy, uid_t(-1), original.group) == 0;
    const auto acl =
        std::find_if(original.attributes.begin(), original.attributes.end(),
                     [](const auto& attribute) { return attribute.first == ACCESS_ACL; });
    const bool aclGiven =
        acl == original.attributes.end()
            ? ::fremovexattr(copy, ACCESS_ACL) == 0 || errno == ENODATA || errno == ENOTSUP
            : ::fsetxattr(copy, ACCESS_ACL, acl->second.data(), acl->second.size(), 0) == 0;
    // The group bits are also the ACL's mask: without them no named user or group may read.
    ::fchmod(copy, original.mode & (aclGiven ? groupGiven ? 0777 : 0707 : 0700));
}

std::optional<Place> temporaryFolderPlace(const std::wstring& name) {
    const char* variable = std::getenv("TMPDIR");
    std::string folder = variable && *variable ? variable : "/tmp";
    if (folder.back() != '/')
        folder += '/';
    FileHandle handle(::open(folder.c_str(), FOLDER));
    if (!handle)
        return std::nullopt;
    return Place{std::move(handle), toUtf8(name), fromUtf8(folder) + name};
}

// Test seam: the rename that fails where `to` exists (EINVAL where the file system has none).
int (*renameUnlessTaken)(int folder, const char* from,
                         const char* to) = [](int folder, const char* from, const char* to) {
    return ::renameat2(folder, from, folder, to, RENAME_NOREPLACE);
};

namespace {

// Gives `from` the name `to` in `folder` unless anything has that name: in one step where
// the file system can, else by a second link that the name's owner cannot have made.
Replacement renameIfFree(int folder, const char* from, const char* to) {
    if (renameUnlessTaken(folder, from, to) == 0)
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
