#pragma once

#include <memory>
#include <string>

// Files that an interrupted run must not leave behind: the temporary files of a write in
// progress. A console program asks for this once at its start; without it, an
// interruption ends the program as it always would.

// SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl+C, Ctrl+Break and closing the console)
// remove the pending files, then end the program as the signal would have, so that its
// exit status still says what happened. SIGXFSZ is ignored, so that a file-size limit
// shows as a failed write.
void removePendingFilesOnInterruption();

// While one lives, an interruption is held back until it goes (POSIX: the signals are
// blocked; Windows: the control handler waits), so that creating, replacing or removing
// a pending file is never cut in half.
class InterruptionsHeld {
public:
    InterruptionsHeld();
    ~InterruptionsHeld();
    InterruptionsHeld(const InterruptionsHeld&) = delete;
    InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;
};

// A file that an interruption removes for as long as the object lives. Make and drop
// it while interruptions are held.
class PendingFile {
public:
    explicit PendingFile(const std::wstring& path);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

private:
    struct Name;
    std::unique_ptr<Name> name;
};
