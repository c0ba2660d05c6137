#pragma once

// PreviewExtractor.exe (the program PREVIEW_EXTRACTOR names) driven from another process
// through its windows, as a user would work it. Windows only; needs a display.
#include <windows.h>

#include "native.h"

#include <functional>
#include <string>
#include <vector>

constexpr int MESSAGE_TEXT = 0xFFFF; // the static holding a message box's text

// True when the test runs for a German user (EXPECTED_LANGUAGE=de).
bool germanExpected();

// A control's text in another process; a click or a key posted to it, since either may
// open a modal window there.
std::wstring textOf(HWND window);
void click(HWND button);
void press(HWND window, WPARAM key);
// A file chooser's name box, and a name typed there and confirmed.
HWND nameBox(HWND chooser);
void chooseName(HWND chooser, const std::wstring& name);

// The program started in `folder`, ended by force if a test leaves it running. The window
// queries wait up to 20 seconds for a visible window of the process; null if none comes.
class Tool {
public:
    Tool(const std::vector<std::wstring>& arguments, const std::wstring& folder);
    ~Tool();

    std::vector<HWND> windows() const; // visible, top-level
    HWND mainDialog() const;
    HWND chooser(HWND dialog) const;             // owned by the main dialog
    HWND messageBox(HWND owner = nullptr) const; // with an owner, only one it owns
    long exitCode() const;                       // -1 if it did not end in time

private:
    HWND waitForWindow(const std::function<bool(HWND)>& matches) const;

    FileHandle process;
    DWORD id = 0;
};
