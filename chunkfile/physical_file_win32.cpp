#include "file.h"
#include "wexception.h"
#include "win32_path.h"

#include <windows.h>

struct PhysicalFile::Handle {
    explicit Handle(HANDLE h) : file(h) {}
    ~Handle() { CloseHandle(file); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE file;
};

PhysicalFile::PhysicalFile(unsigned mode, const std::wstring& path) {
    const bool writing = (mode & OPEN_WRITE) != 0;
    DWORD access = 0;
    if (mode & OPEN_READ)
        access |= GENERIC_READ;
    if (writing)
        access |= GENERIC_WRITE;
    const DWORD share = writing ? FILE_SHARE_READ : FILE_SHARE_READ | FILE_SHARE_WRITE;
    const DWORD disposition = writing ? CREATE_ALWAYS : OPEN_EXISTING;
    HANDLE h = CreateFileW(win32Path(path).c_str(), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            throw notFound(path);
        throw openFailure(path);
    }
    handle = std::make_unique<Handle>(h);
    knownSize = writing ? 0 : GetFileSize(h, nullptr);
}

PhysicalFile::~PhysicalFile() = default;

bool PhysicalFile::isAtEnd() {
    return position == size();
}

std::uint32_t PhysicalFile::size() {
    knownSize = GetFileSize(handle->file, nullptr);
    return knownSize;
}

std::uint64_t PhysicalFile::fullSize() {
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(handle->file, &length))
        return 0;
    return static_cast<std::uint64_t>(length.QuadPart);
}

void PhysicalFile::seek(std::uint32_t pos) {
    const std::uint32_t end = pos <= knownSize ? knownSize : size();
    position = pos < end ? pos : end;
}

std::uint32_t PhysicalFile::tell() {
    return position;
}

// With a high part of 0 the low part counts as unsigned, so positions from 2 GiB to
// 4 GiB work; without one they would be taken as negative and the call would fail.
static void moveTo(HANDLE file, std::uint32_t position) {
    LONG high = 0;
    SetFilePointer(file, static_cast<LONG>(position), &high, FILE_BEGIN);
}

std::uint32_t PhysicalFile::read(void* buffer, std::uint32_t count) {
    moveTo(handle->file, position);
    DWORD done = 0;
    if (!ReadFile(handle->file, buffer, count, &done, nullptr))
        return 0;
    position += done;
    return done;
}

std::uint32_t PhysicalFile::write(const void* buffer, std::uint32_t count) {
    moveTo(handle->file, position);
    DWORD done = 0;
    if (!WriteFile(handle->file, buffer, count, &done, nullptr))
        return 0;
    position += done;
    if (position > knownSize)
        knownSize = position;
    return done;
}

bool PhysicalFile::flush() {
    return FlushFileBuffers(handle->file) != 0;
}
