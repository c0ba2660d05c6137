#pragma once

#include "file_handle.h"

// Files that an interrupted run must not leave behind: the temporary files of a write in
// progress. A console program asks for this once at its start; without it, an
// interruption ends the program as it always would. All of it is here and in
// interruption.cpp, interruption_posix.cpp and interruption_win32.cpp.

// SIGINT, SIGTERM, SIGHUP and SIGQUIT (on Windows: Ctrl+C, Ctrl+Break and closing the console)
// remove the pending files, then end the program as the signal would have, so that its
// exit status still says what happened. SIGXFSZ is ignored, so that a file-size limit
// shows as a failed write.
void removePendingFilesOnInterruption();

// While one lives, an interruption is held back until it goes (POSIX: the signals are
// blocked; Windows: the control handler waits), so that creating, replacing or removing
// a pending file, or rewriting a file in place, is never cut in half.
class InterruptionsHeld {
public:
    InterruptionsHeld();
    ~InterruptionsHeld();
    InterruptionsHeld(const InterruptionsHeld&) = delete;
    InterruptionsHeld& operator=(const InterruptionsHeld&) = delete;
};

// A file that an interruption removes for as long as the object lives: `name` in the open
// `folder` (POSIX; on Windows `name` is the full path and `folder` is not used). Both
// must outlive the object. Make and drop it while interruptions are held. Throws
// std::runtime_error when as many files are pending as the handler keeps track of.
class PendingFile {
public:
    PendingFile(FileHandle::Type folder, const native::Char* name);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    struct Entry {
        FileHandle::Type folder;
        const native::Char* name;
    };

private:
    Entry entry;
};

namespace interruption_detail {
// The platform's part: removes one file, and is safe in a signal handler.
void removeNow(const PendingFile::Entry& file);
// The portable part: removes every pending file; the platform's handler calls it.
void removePendingFiles();
} // namespace interruption_detail
