#include "interruption.h"

#include <windows.h>

namespace {

// Taken by held sections and by the control handler, which runs on a thread of its own.
struct Lock {
    Lock() { InitializeCriticalSection(&section); }
    CRITICAL_SECTION section;
};
Lock lock;

BOOL WINAPI onControl(DWORD) {
    // Waits for a held step to end, and never gives the lock back: nothing may replace
    // or remove a file once the pending ones are gone.
    EnterCriticalSection(&lock.section);
    interruption_detail::removePendingFiles();
    // The next handler, the system's, ends the program with the usual exit code.
    return FALSE;
}

} // namespace

void removePendingFilesOnInterruption() {
    SetConsoleCtrlHandler(onControl, TRUE);
}

InterruptionsHeld::InterruptionsHeld() {
    EnterCriticalSection(&lock.section);
}

InterruptionsHeld::~InterruptionsHeld() {
    LeaveCriticalSection(&lock.section);
}

void interruption_detail::removeNow(const PendingFile::Entry& file) {
    DeleteFileW(file.name);
}
