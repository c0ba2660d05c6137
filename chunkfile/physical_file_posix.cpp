#include "file.h"
#include "native.h"
#include "utf8.h"
#include "wexception.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

void closeInBackground(FileHandle file) {
    // Two forks: the process between them ends at once, so that the one that closes the
    // file is nobody's child to wait for. It keeps only the file and the pipe's reading
    // end, blocks every signal, and closes the file at the pipe's end-of-file, which comes
    // once this process has closed its own handle.
    int ready[2];
    if (::pipe2(ready, O_CLOEXEC) != 0)
        return;
    const pid_t between = ::fork();
    if (between == 0) {
        if (::fork() == 0) {
            sigset_t all;
            sigfillset(&all);
            sigprocmask(SIG_SETMASK, &all, nullptr);
            const int pipeEnd = ::fcntl(ready[0], F_DUPFD, 2);
            ::dup2(file.get(), 0);
            ::dup2(pipeEnd, 1);
            ::close_range(2, ~0u, 0);
            char none;
            ::read(1, &none, 1);
            ::close(0);
        }
        ::_exit(0);
    }
    ::close(ready[0]);
    while (between > 0 && ::waitpid(between, nullptr, 0) < 0 && errno == EINTR) {
    }
    file.reset();
    ::close(ready[1]);
}

void startWriteBack(int file, std::uint64_t offset, std::uint32_t count) {
    ::sync_file_range(file, off_t(offset), count, SYNC_FILE_RANGE_WRITE);
}

bool sync(int file) {
    return ::fsync(file) == 0;
}

bool truncate(int file) {
    return ::ftruncate(file, 0) == 0;
}

} // namespace native
