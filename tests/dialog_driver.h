#pragma once

// PreviewExtractor.exe driven from another process through its windows, as a user
// would work it. Windows only; needs a display.
#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

constexpr int NAME_BOX = 0x47C; // the save and open choosers' file name box
constexpr int MESSAGE_TEXT = 0xFFFF;

// Polls `condition` until it holds or `seconds` have passed.
bool waitUntil(const std::function<bool()>& condition, double seconds = 20);

class Handle {
public:
    explicit Handle(HANDLE handle = nullptr) : handle(handle) {}
    ~Handle() {
        if (handle)
            CloseHandle(handle);
    }
    Handle(Handle&& other) noexcept : handle(other.handle) { other.handle = nullptr; }
    Handle& operator=(Handle&& other) noexcept {
        std::swap(handle, other.handle);
        return *this;
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    HANDLE get() const { return handle; }

private:
    HANDLE handle;
};

// The text of a window of another process (its control text, not only its caption).
std::wstring textOf(HWND window);
void setText(HWND window, const std::wstring& text);
std::wstring classOf(HWND window);
// Clicks a button the way the button itself handles a click; posted, because the click
// may open a modal window in the other process.
void click(HWND button);
// A key pressed and released while `window` has the keyboard.
void press(HWND window, WPARAM key);
// The first descendant of `parent` of window class `className`.
HWND findDescendant(HWND parent, const wchar_t* className);

// The main dialog's path field and whether its extract button is enabled.
std::wstring field(HWND dialog);
bool buttonEnabled(HWND dialog);

// A running PreviewExtractor.exe (the one the variable PREVIEW_EXTRACTOR names), started
// in `folder`; ended by force if a test leaves it running.
class Tool {
public:
    Tool(const std::vector<std::wstring>& arguments, const std::wstring& folder);
    ~Tool();
    Tool(const Tool&) = delete;
    Tool& operator=(const Tool&) = delete;

    // The visible top-level windows of the process.
    std::vector<HWND> windows() const;
    // The first visible window of the process for which `matches` holds, waiting for it.
    HWND waitForWindow(const std::function<bool(HWND)>& matches) const;
    HWND mainDialog() const;
    // A file chooser owned by the main dialog.
    HWND chooser(HWND dialog) const;
    // A message box; with an owner, only one that `owner` owns.
    HWND messageBox(HWND owner = nullptr) const;
    bool hasWindow(HWND window) const;
    // The exit code once the process has ended; -1 if it did not end in time.
    long exitCode() const;

private:
    Handle process;
    DWORD id = 0;
};
