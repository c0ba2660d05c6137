#pragma once

#include "file.h"
#include "file_system.h"
#include "wexception.h"

#include <optional>
#include <string>

// A file looked up once (filesystem_ops::locate) and opened once for reading, held from
// the first read to the last write, with its stamp as it was opened: every later step
// works on this place and checks against this stamp, never on the path again.
struct HeldFile {
    std::wstring path; // as given, for messages
    filesystem_ops::Place place;
    PhysicalFile file;
    filesystem_ops::FileStamp stamp;
};

// Holds the file at `path`. Throws FileNotFoundException ("Unable to find file:\n" + path)
// when it or its folder is missing, IOException ("Unable to open file:\n" + path) for
// anything but a plain file.
HeldFile holdFile(const std::wstring& path);

// What another program did to a held file between its first read and the last write.
inline IOException changedWhileRead(const std::wstring& path) {
    return IOException(L"The map was changed by another program while it was being read:\n", path);
}

// Throws changedWhileRead unless the held file is as it was when it was opened.
void checkUnchanged(HeldFile& held);

// The stamp of what `path` names, found as locate finds it; none when nothing has the
// name or its folder cannot be reached. For questions about a path (is it a folder, is it
// that file), asked of the place the one lookup finds.
std::optional<filesystem_ops::FileStamp> stampOfPath(const std::wstring& path);
