#include "file.h"
#include "utf8.h"
#include "wexception.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct PhysicalFile::Handle {
    explicit Handle(int descriptor) : fd(descriptor) {}
    ~Handle() { ::close(fd); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    int fd;
};

PhysicalFile::PhysicalFile(unsigned mode, const std::wstring& path) {
    const bool writing = (mode & OPEN_WRITE) != 0;
    int flags = O_CLOEXEC;
    flags |= writing ? ((mode & OPEN_READ) ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC : O_RDONLY;
    const std::string native = toUtf8(path);
    int fd = ::open(native.c_str(), flags, 0666);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw notFound(path);
        throw openFailure(path);
    }
    auto owned = std::make_unique<Handle>(fd);
    // Like the Windows call, refuse anything that is not a plain file (a folder, say).
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        throw openFailure(path);
    handle = std::move(owned);
}

PhysicalFile::~PhysicalFile() = default;

bool PhysicalFile::isAtEnd() {
    return position == size();
}

std::uint64_t PhysicalFile::fullSize() {
    struct stat info {};
    if (::fstat(handle->fd, &info) != 0)
        return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

std::uint32_t PhysicalFile::size() {
    return static_cast<std::uint32_t>(fullSize());
}

void PhysicalFile::seek(std::uint32_t pos) {
    const std::uint32_t end = size();
    position = pos < end ? pos : end;
}

std::uint32_t PhysicalFile::tell() {
    return position;
}

namespace {

// Repeats a partial pread or pwrite until `count` bytes are done or the file ends.
// Returns the count done, or 0 when the system reports a failure.
template <typename Transfer> std::uint32_t transferAll(std::uint32_t count, Transfer transfer) {
    std::uint32_t done = 0;
    while (done < count) {
        const ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return 0;
        if (n == 0)
            break;
        done += static_cast<std::uint32_t>(n);
    }
    return done;
}

} // namespace

std::uint32_t PhysicalFile::read(void* buffer, std::uint32_t count) {
    auto* bytes = static_cast<char*>(buffer);
    const std::uint32_t done = transferAll(count, [&](std::uint32_t offset) {
        return ::pread(handle->fd, bytes + offset, count - offset, off_t(position) + offset);
    });
    position += done;
    return done;
}

std::uint32_t PhysicalFile::write(const void* buffer, std::uint32_t count) {
    const auto* bytes = static_cast<const char*>(buffer);
    const std::uint32_t done = transferAll(count, [&](std::uint32_t offset) {
        return ::pwrite(handle->fd, bytes + offset, count - offset, off_t(position) + offset);
    });
    position += done;
    return done;
}

bool PhysicalFile::flush() {
    return ::fsync(handle->fd) == 0;
}
