#include "file.h"
#include "native.h"
#include "utf8.h"
#include "wexception.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

void FileHandleTraits::close(int descriptor) {
    ::close(descriptor);
}

namespace native {

void throwOpenFailure(const std::wstring& shownPath) {
    if (errno == ENOENT || errno == ENOTDIR)
        throw notFound(shownPath);
    throw openFailure(shownPath);
}

namespace {

// Repeats a partial pread or pwrite until `count` bytes are done or the file ends.
// Returns the count done, short when the system reports a failure.
template <typename Transfer> std::uint32_t transferAll(std::uint32_t count, Transfer transfer) {
    std::uint32_t done = 0;
    while (done < count) {
        const ssize_t n = transfer(done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<std::uint32_t>(n);
    }
    return done;
}

} // namespace

std::uint32_t readAt(int file, void* buffer, std::uint32_t count, std::uint64_t offset) {
    auto* bytes = static_cast<char*>(buffer);
    return transferAll(count, [&](std::uint32_t done) {
        return ::pread(file, bytes + done, count - done, off_t(offset + done));
    });
}

std::uint32_t writeAt(int file, const void* buffer, std::uint32_t count, std::uint64_t offset) {
    const auto* bytes = static_cast<const char*>(buffer);
    return transferAll(count, [&](std::uint32_t done) {
        return ::pwrite(file, bytes + done, count - done, off_t(offset + done));
    });
}

std::uint64_t sizeOf(int file) {
    struct stat info {};
    return ::fstat(file, &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

bool systemCopy = true;

std::uint64_t copyRange(int from, std::uint64_t fromOffset, int to, std::uint64_t toOffset,
                        std::uint64_t count, std::vector<std::uint8_t>& buffer) {
    std::uint64_t done = 0;
    while (systemCopy && done < count) {
        auto in = static_cast<loff_t>(fromOffset + done),
             out = static_cast<loff_t>(toOffset + done);
        const ssize_t n = ::copy_file_range(from, &in, to, &out, count - done, 0);
        // The end of the source, or a copy the system does not make (no such call, none
        // between these files: other file systems, kinds of file it does not take; a signal
        // came first): the rest goes through the buffer, whose reads and writes meet any
        // real failure themselves.
        if (n <= 0)
            break;
        done += static_cast<std::uint64_t>(n);
    }
    return done +
           copyThroughBuffer(from, fromOffset + done, to, toOffset + done, count - done, buffer);
}

bool sync(int file) {
    return ::fsync(file) == 0;
}

bool truncate(int file) {
    return ::ftruncate(file, 0) == 0;
}

} // namespace native
