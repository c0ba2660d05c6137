#include "file_system.h"
#include "native.h"
#include "utf8.h"
#include "wexception.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace filesystem_ops {

std::wstring replaceablePath(const std::wstring& path) {
    struct stat info {};
    const std::string name = toUtf8(path);
    if (::lstat(name.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (!::realpath(name.c_str(), resolved))
        return path;
    return fromUtf8(resolved);
}

Target inspectTarget(const std::wstring& path, const std::wstring& shownPath) {
    const std::string name = toUtf8(path);
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return Target::Missing;
        throw openFailure(shownPath);
    }
    // Root may write anything; a file the user protected is refused all the same.
    if (!S_ISREG(info.st_mode) || (info.st_mode & S_IWUSR) == 0)
        throw openFailure(shownPath);
    if (!FileHandle(::open(name.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)))
        throw openFailure(shownPath);
    return Target::PlainFile;
}

Creation createNewFile(const std::wstring& path, const std::wstring& shownPath) {
    if (FileHandle(::open(toUtf8(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)))
        return Creation::Created;
    if (errno == EEXIST)
        return Creation::NameTaken;
    if (errno == EACCES || errno == EPERM)
        return Creation::FolderRefuses;
    native::throwOpenFailure(shownPath);
}

bool removeFile(const std::wstring& path) {
    return ::unlink(toUtf8(path).c_str()) == 0;
}

bool exists(const std::wstring& path) {
    struct stat info {};
    return ::stat(toUtf8(path).c_str(), &info) == 0;
}

void copyPermissions(const std::wstring& original, const std::wstring& replacement) {
    const std::string name = toUtf8(replacement);
    struct stat info {};
    if (::stat(toUtf8(original).c_str(), &info) != 0) {
        // A new file: the permissions an open would have given it.
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(name.c_str(), 0666 & ~mask);
        return;
    }
    // Ownership can only be kept where we may give it away; the mode always.
    static_cast<void>(::chown(name.c_str(), info.st_uid, info.st_gid) == 0);
    ::chmod(name.c_str(), info.st_mode & 07777);
}

bool replaceFile(const std::wstring& target, const std::wstring& replacement) {
    if (::rename(toUtf8(replacement).c_str(), toUtf8(target).c_str()) != 0)
        return false;
    // Make the new directory entry durable too.
    std::wstring folder = folderOf(target);
    if (folder.empty())
        folder = L".";
    if (const FileHandle dir{::open(toUtf8(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)})
        ::fsync(dir.get());
    return true;
}

bool isSameFile(const std::wstring& a, const std::wstring& b) {
    struct stat first {
    }, second{};
    if (::stat(toUtf8(a).c_str(), &first) != 0 || ::stat(toUtf8(b).c_str(), &second) != 0)
        return false;
    return first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace filesystem_ops
