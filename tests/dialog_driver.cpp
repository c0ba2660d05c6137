#include "dialog_driver.h"
#include "resource.h"
#include "run_program.h"

#include <chrono>
#include <stdexcept>
#include <thread>

bool waitUntil(const std::function<bool()>& condition, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

std::wstring textOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    text.resize(copied);
    return text;
}

void setText(HWND window, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
}

std::wstring classOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

void click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

void press(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

HWND findDescendant(HWND parent, const wchar_t* className) {
    struct Search {
        const wchar_t* className;
        HWND found;
    } search{className, nullptr};
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (classOf(window) == s->className) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring field(HWND dialog) {
    return textOf(GetDlgItem(dialog, IDC_MAP_PATH));
}

bool buttonEnabled(HWND dialog) {
    return IsWindowEnabled(GetDlgItem(dialog, IDC_EXTRACT));
}

namespace {

// The program under test, as a full Windows path.
std::wstring programPath() {
    wchar_t given[MAX_PATH] = {}, full[MAX_PATH] = {};
    GetEnvironmentVariableW(L"PREVIEW_EXTRACTOR", given, MAX_PATH);
    GetFullPathNameW(given, MAX_PATH, full, nullptr);
    return full;
}

} // namespace

Tool::Tool(const std::vector<std::wstring>& arguments, const std::wstring& folder) {
    std::wstring commandLine = L"\"" + programPath() + L"\"";
    for (const std::wstring& argument : arguments)
        commandLine += L" " + quoted(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info))
        throw std::runtime_error("cannot start the tool");
    process = Handle(info.hProcess);
    CloseHandle(info.hThread);
    id = info.dwProcessId;
}

Tool::~Tool() {
    if (WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 5000);
    }
}

std::vector<HWND> Tool::windows() const {
    struct Search {
        DWORD id;
        std::vector<HWND> found;
    } search{id, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->id && IsWindowVisible(window))
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND Tool::waitForWindow(const std::function<bool(HWND)>& matches) const {
    HWND found = nullptr;
    waitUntil([&] {
        for (HWND window : windows()) {
            if (matches(window)) {
                found = window;
                return true;
            }
        }
        return false;
    });
    return found;
}

HWND Tool::mainDialog() const {
    return waitForWindow([](HWND w) {
        wchar_t caption[32] = {};
        GetWindowTextW(w, caption, 32);
        return classOf(w) == L"#32770" && std::wstring(caption) == L"Brenwick";
    });
}

HWND Tool::chooser(HWND dialog) const {
    return waitForWindow([dialog](HWND w) {
        return GetWindow(w, GW_OWNER) == dialog && GetDlgItem(w, NAME_BOX) != nullptr;
    });
}

HWND Tool::messageBox(HWND owner) const {
    return waitForWindow([owner](HWND w) {
        return GetDlgItem(w, MESSAGE_TEXT) != nullptr &&
               (!owner || GetWindow(w, GW_OWNER) == owner);
    });
}

bool Tool::hasWindow(HWND window) const {
    for (HWND w : windows())
        if (w == window)
            return true;
    return false;
}

long Tool::exitCode() const {
    if (WaitForSingleObject(process.get(), 20000) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<long>(code);
}
