#pragma once

#include <windows.h>

#include <commdlg.h>
#include <string>

// The chooser for the map to open; the chosen full path, or empty when the user
// cancelled or the chooser failed.
std::wstring chooseMapFile(HWND owner);

// The chooser for the Targa file to write, with `initialName` in its name box (none when
// it does not fit); the chosen full path, or empty.
std::wstring chooseTargaFile(HWND owner, const std::wstring& initialName);

// What GetOpenFileNameW or GetSaveFileNameW said: its result and, when that is FALSE,
// CommDlgExtendedError (0 for a cancel).
struct ChooserOutcome {
    BOOL chosen;
    DWORD error;
};

enum class ChooserKind { Open, Save };

// What shows a chooser for the filled record: GetOpenFileNameW or GetSaveFileNameW. The
// one seam of the tests, which point it at a stand-in that may write a name into the
// record's buffer and says what the chooser would have returned.
using ChooserRunner = ChooserOutcome (*)(OPENFILENAMEW& record, ChooserKind kind);
extern ChooserRunner runChooserWindow;
