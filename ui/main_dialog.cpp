#include "main_dialog.h"
#include "dialog_rules.h"
#include "file_choosers.h"
#include "file_system.h"
#include "preview.h"
#include "preview_name.h"
#include "report_failures.h"
#include "resource.h"
#include "unique_handle.h"

#include <shellapi.h>
#include <vector>

namespace {

// A drop handed to the dialog, released whatever becomes of it.
struct DropTraits {
    using Type = HDROP;
    static Type invalid() { return nullptr; }
    static void close(Type drop) { DragFinish(drop); }
};

void applyEnableRule(HWND dialog, const std::wstring& path) {
    EnableWindow(GetDlgItem(dialog, IDC_EXTRACT), canExtract(path));
}

void initialise(HWND dialog, const wchar_t* startPath) {
    // The program's icon (number 1, see program_info.rc.in) for the caption and taskbar.
    const HINSTANCE program = GetModuleHandleW(nullptr);
    for (const auto& [kind, size] : {std::pair{ICON_SMALL, SM_CXSMICON}, {ICON_BIG, SM_CXICON}})
        SendMessageW(dialog, WM_SETICON, kind,
                     reinterpret_cast<LPARAM>(LoadImageW(program, MAKEINTRESOURCEW(1), IMAGE_ICON,
                                                         GetSystemMetrics(size),
                                                         GetSystemMetrics(size), LR_SHARED)));
    // Setting the text runs the enable rule through EN_CHANGE; a start path enables the
    // button even when it names a folder.
    SetWindowTextW(GetDlgItem(dialog, IDC_MAP_PATH), startPath);
    if (startPath)
        EnableWindow(GetDlgItem(dialog, IDC_EXTRACT), TRUE);
}

void browse(HWND dialog) {
    const std::wstring path = chooseMapFile(dialog);
    if (path.empty())
        return;
    SetWindowTextW(GetDlgItem(dialog, IDC_MAP_PATH), path.c_str());
    applyEnableRule(dialog, path);
}

void extract(HWND dialog) {
    const std::wstring mapPath = readWindowText(GetDlgItem(dialog, IDC_MAP_PATH));
    const std::wstring targaPath =
        chooseTargaFile(dialog, bareFileName(filesystem_ops::withNameOnDisk(mapPath)));
    if (!targaPath.empty())
        extractPreview(targaPath, mapPath);
}

void acceptDrop(HWND dialog, HDROP handle) {
    const UniqueHandle<DropTraits> drop(handle);
    if (DragQueryFileW(drop.get(), 0xFFFFFFFF, nullptr, 0) == 0)
        return;
    // A longer name would arrive cut short, naming another path: such a drop is ignored.
    if (DragQueryFileW(drop.get(), 0, nullptr, 0) >= MAX_PATH)
        return;
    wchar_t name[MAX_PATH] = {};
    if (DragQueryFileW(drop.get(), 0, name, MAX_PATH) != 0)
        SetWindowTextW(GetDlgItem(dialog, IDC_MAP_PATH), name);
}

void command(HWND dialog, WORD id, WORD notification, HWND control) {
    if (notification == EN_CHANGE) {
        applyEnableRule(dialog, readWindowText(control));
        return;
    }
    if (notification != 0)
        return;
    switch (id) {
    case IDOK:
    case IDCANCEL:
        EndDialog(dialog, 0);
        break;
    case IDC_BROWSE:
        browse(dialog);
        break;
    case IDC_EXTRACT:
        extract(dialog);
        break;
    }
}

void handle(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        initialise(dialog, reinterpret_cast<const wchar_t*>(lParam));
        break;
    case WM_COMMAND:
        command(dialog, LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        break;
    case WM_DROPFILES:
        acceptDrop(dialog, reinterpret_cast<HDROP>(wParam));
        break;
    }
}

} // namespace

INT_PTR CALLBACK MainDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    // An exception must not unwind through the platform's dispatch: report it as the
    // program's entry would, and end the dialog so that the program ends normally.
    if (!reportFailures([&] { handle(dialog, message, wParam, lParam); }))
        EndDialog(dialog, 0);
    return 0;
}

std::wstring readWindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
    GetWindowTextW(window, buffer.data(), static_cast<int>(buffer.size()));
    return std::wstring(buffer.data());
}
