#include "dialog_driver.h"
#include "resource.h"
#include "run_program.h"
#include "test_support.h"

#include <algorithm>
#include <commctrl.h>
#include <cstdlib>
#include <stdexcept>

constexpr int NAME_BOX = 0x47C; // the choosers' file name box (cmb13)

bool germanExpected() {
    const char* expected = std::getenv("EXPECTED_LANGUAGE");
    return expected && std::string(expected) == "de";
}

std::wstring textOf(HWND window) {
    wchar_t text[1024] = {};
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text),
                             SMTO_ABORTIFHUNG, 5000, &copied))
        return L"<no answer>";
    return text;
}

void click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

void press(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

// Wine's choosers keep the name box as an edit inside a ComboBoxEx (cmb13).
HWND nameBox(HWND chooser) {
    return reinterpret_cast<HWND>(
        SendMessageW(GetDlgItem(chooser, NAME_BOX), CBEM_GETEDITCONTROL, 0, 0));
}

void chooseName(HWND chooser, const std::wstring& name) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(nameBox(chooser), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()),
                        SMTO_ABORTIFHUNG, 5000, &ignored);
    click(GetDlgItem(chooser, IDOK));
}

Tool::Tool(const std::vector<std::wstring>& arguments, const std::wstring& folder) {
    wchar_t given[MAX_PATH] = {}, program[MAX_PATH] = {};
    GetEnvironmentVariableW(L"PREVIEW_EXTRACTOR", given, MAX_PATH);
    GetFullPathNameW(given, MAX_PATH, program, nullptr);
    std::wstring commandLine = quoted(program);
    for (const std::wstring& argument : arguments)
        commandLine += L" " + quoted(argument);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info))
        throw std::runtime_error("cannot start the tool");
    process.reset(info.hProcess);
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
    std::pair<DWORD, std::vector<HWND>> search{id, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->first && IsWindowVisible(window))
                s->second.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.second;
}

HWND Tool::waitForWindow(const std::function<bool(HWND)>& matches) const {
    HWND found = nullptr;
    waitUntil([&] {
        const std::vector<HWND> all = windows();
        const auto match = std::find_if(all.begin(), all.end(), matches);
        found = match == all.end() ? nullptr : *match;
        return found != nullptr;
    });
    return found;
}

HWND Tool::mainDialog() const {
    return waitForWindow(
        [](HWND w) { return textOf(w) == L"Brenwick" && GetDlgItem(w, IDC_MAP_PATH) != nullptr; });
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

long Tool::exitCode() const {
    DWORD code = 0;
    if (WaitForSingleObject(process.get(), 20000) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.get(), &code))
        return -1;
    return static_cast<long>(code);
}
