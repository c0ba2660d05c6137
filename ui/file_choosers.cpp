#include "file_choosers.h"
#include "resource.h"
#include "string_table.h"

#include <array>
#include <cderr.h>
#include <vector>

namespace {

// The buffer of a chooser's file name, terminator included.
constexpr std::size_t NAME_CAPACITY = MAX_PATH;

// The record in its form without the three trailing members (OPENFILENAME_SIZE_VERSION_400W
// for this architecture). A file chooser with a customising template would need more.
const DWORD RECORD_SIZE = OPENFILENAME_SIZE_VERSION_400W;

constexpr DWORD MAP_CHOOSER_FLAGS = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
constexpr DWORD TARGA_CHOOSER_FLAGS = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;

// The pattern pieces of the filter lists, each part closed by its own null. Their lengths
// are given explicitly: a literal with embedded nulls would otherwise stop at the first.
const std::wstring MAP_PATTERN(L" (*.ted)\0*.TED\0", 15);
const std::wstring TARGA_PATTERN(L" (*.tga)\0*.TGA\0", 15);
const std::wstring ALL_PATTERN(L" (*.*)\0*.*\0", 11);

std::wstring filterList(unsigned typeName, const std::wstring& typePattern) {
    return loadResourceString(typeName) + typePattern + loadResourceString(IDS_ALL_FILES) +
           ALL_PATTERN;
}

ChooserOutcome runPlatformChooser(OPENFILENAMEW& record, ChooserKind kind) {
    const BOOL chosen =
        kind == ChooserKind::Open ? GetOpenFileNameW(&record) : GetSaveFileNameW(&record);
    return {chosen, chosen ? 0 : CommDlgExtendedError()};
}

// The platform's chooser may move the current folder (the flags leave that to it); a
// relative map path must still name the same file afterwards.
ChooserOutcome runKeepingCurrentFolder(OPENFILENAMEW& record, ChooserKind kind) {
    std::vector<wchar_t> saved(GetCurrentDirectoryW(0, nullptr) + 1, L'\0');
    const bool haveSaved =
        GetCurrentDirectoryW(static_cast<DWORD>(saved.size()), saved.data()) != 0;
    const ChooserOutcome outcome = runChooserWindow(record, kind);
    if (haveSaved)
        SetCurrentDirectoryW(saved.data());
    return outcome;
}

std::wstring runChooser(HWND owner, ChooserKind kind, const std::wstring& filters,
                        const std::wstring& initialName) {
    std::array<wchar_t, NAME_CAPACITY> name{};
    // A name that does not fit the buffer is not offered at all: cut, it would name
    // another file.
    if (initialName.size() < NAME_CAPACITY)
        initialName.copy(name.data(), initialName.size());

    OPENFILENAMEW record{};
    record.lStructSize = RECORD_SIZE;
    record.hwndOwner = owner;
    record.lpstrFilter = filters.c_str();
    record.nFilterIndex = 0;
    record.lpstrFile = name.data();
    record.nMaxFile = static_cast<DWORD>(name.size());
    if (kind == ChooserKind::Open) {
        record.Flags = MAP_CHOOSER_FLAGS;
    } else {
        record.Flags = TARGA_CHOOSER_FLAGS;
        record.lpstrDefExt = L"tga";
    }

    ChooserOutcome outcome = runKeepingCurrentFolder(record, kind);
    // The platform refuses some initial names outright (a folder name such as "maps\"):
    // ask again with an empty name box rather than doing nothing.
    if (!outcome.chosen && outcome.error == FNERR_INVALIDFILENAME && name[0] != L'\0') {
        name.fill(L'\0');
        outcome = runKeepingCurrentFolder(record, kind);
    }
    if (!outcome.chosen)
        return std::wstring();
    name.back() = L'\0';
    return std::wstring(name.data());
}

} // namespace

ChooserRunner runChooserWindow = runPlatformChooser;

std::wstring chooseMapFile(HWND owner) {
    return runChooser(owner, ChooserKind::Open, filterList(IDS_MAP_FILES, MAP_PATTERN),
                      std::wstring());
}

std::wstring chooseTargaFile(HWND owner, const std::wstring& initialName) {
    return runChooser(owner, ChooserKind::Save, filterList(IDS_TARGA_FILES, TARGA_PATTERN),
                      initialName);
}
