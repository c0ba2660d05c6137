#include "file.h"
#include "native.h"
#include "wexception.h"
#include "win32_path.h"

#include <windows.h>

void FileHandleTraits::close(HANDLE handle) {
    CloseHandle(handle);
}

namespace native {

void throwOpenFailure(const std::wstring& shownPath) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
        throw notFound(shownPath);
    throw openFailure(shownPath);
}

namespace {

// With a high part the low part counts as unsigned, so positions from 2 GiB to 4 GiB
// work; without one they would be taken as negative and the call would fail.
void moveTo(HANDLE file, std::uint64_t offset) {
    LONG high = static_cast<LONG>(offset >> 32);
    SetFilePointer(file, static_cast<LONG>(offset), &high, FILE_BEGIN);
}

} // namespace

std::uint32_t readAt(HANDLE file, void* buffer, std::uint32_t count, std::uint64_t offset) {
    moveTo(file, offset);
    DWORD done = 0; // what was transferred, also when the call fails
    ReadFile(file, buffer, count, &done, nullptr);
    return done;
}

std::uint32_t writeAt(HANDLE file, const void* buffer, std::uint32_t count, std::uint64_t offset) {
    moveTo(file, offset);
    DWORD done = 0;
    WriteFile(file, buffer, count, &done, nullptr);
    return done;
}

std::uint64_t sizeOf(HANDLE file) {
    LARGE_INTEGER length{};
    return GetFileSizeEx(file, &length) ? static_cast<std::uint64_t>(length.QuadPart) : 0;
}

void closeInBackground(FileHandle) {} // closes here

void startWriteBack(HANDLE, std::uint64_t, std::uint32_t) {}

bool sync(HANDLE file) {
    return FlushFileBuffers(file) != 0;
}

bool truncate(HANDLE file) {
    moveTo(file, 0);
    return SetEndOfFile(file) != 0;
}

} // namespace native
