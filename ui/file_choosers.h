#pragma once

#include <windows.h>

#include <commdlg.h>
#include <functional>
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

// Lets tests stand in for the platform's chooser: the function gets the filled record,
// may write a name into its buffer and says what the chooser would have returned. An
// empty function restores the real choosers.
using ChooserRunner = std::function<ChooserOutcome(OPENFILENAMEW& record, ChooserKind kind)>;
void setChooserRunner(ChooserRunner runner);
