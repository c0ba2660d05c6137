// The resources of the built PreviewExtractor.exe, read back from the file itself.
#include "resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr WORD GERMAN = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
constexpr WORD ENGLISH = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

HMODULE program() {
    static const HMODULE module = [] {
        wchar_t path[MAX_PATH] = {};
        GetEnvironmentVariableW(L"PREVIEW_EXTRACTOR", path, MAX_PATH);
        const HMODULE loaded = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!loaded)
            throw std::runtime_error("PREVIEW_EXTRACTOR must name the program under test");
        return loaded;
    }();
    return module;
}

// A resource's bytes, read little-endian one field at a time; reading past the end throws.
struct Resource {
    Resource(LPCWSTR type, LPCWSTR name, WORD language) {
        if (HRSRC found = FindResourceExW(program(), type, name, language)) {
            const auto* data =
                static_cast<const std::uint8_t*>(LockResource(LoadResource(program(), found)));
            bytes.assign(data, data + SizeofResource(program(), found));
        }
    }
    std::uint8_t byte() { return bytes.at(position++); }
    std::uint16_t word() {
        const std::uint8_t low = byte();
        return static_cast<std::uint16_t>(low | byte() << 8);
    }
    std::uint32_t dword() {
        const std::uint32_t low = word();
        return low | std::uint32_t(word()) << 16;
    }
    // A text up to its null, or a number as templates give one: 0xFFFF, then the number.
    std::wstring text() {
        std::wstring out;
        for (wchar_t c = word(); c != 0; c = word()) {
            if (c == 0xFFFF && out.empty())
                return L"#" + std::to_wstring(word());
            out += c;
        }
        return out;
    }
    void alignTo4() { position = (position + 3) & ~std::size_t(3); }
    bool atEnd() const { return position == bytes.size(); }

    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
};

std::wstring hex(std::uint32_t value) {
    wchar_t text[9];
    swprintf(text, 9, L"%08X", value);
    return text;
}

// Dialog 101 as lines of text, one for the dialog and one per control, so that a
// difference shows where it is. C++17 evaluates `<<` left to right: the fields are read
// in file order. A control's help id, extended style and creation data show only when
// they are not 0.
std::vector<std::wstring> describeDialog(WORD language) {
    Resource in(RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN), language);
    const auto rectangle = [&in] {
        std::wstring text;
        for (int i = 0; i < 4; ++i)
            text += (i ? L"," : L"") + std::to_wstring(static_cast<std::int16_t>(in.word()));
        return text;
    };
    std::wostringstream frame;
    frame << L"version " << in.word() << L" " << hex(in.word()) << L" help " << in.dword()
          << L" exstyle " << hex(in.dword()) << L" style " << hex(in.dword());
    const std::uint16_t count = in.word();
    frame << L" at " << rectangle() << L" menu '" << in.text() << L"' class '" << in.text()
          << L"' '" << in.text() << L"' font " << in.word() << L" weight " << in.word()
          << L" italic " << int(in.byte()) << L" charset " << int(in.byte()) << L" '" << in.text()
          << L"'";
    std::vector<std::wstring> lines = {frame.str()};
    for (std::uint16_t i = 0; i < count; ++i) {
        in.alignTo4();
        const std::uint32_t help = in.dword(), exstyle = in.dword();
        std::wostringstream line;
        line << hex(in.dword()) << L" at " << rectangle() << L" id "
             << static_cast<std::int32_t>(in.dword()) << L" " << in.text() << L" '" << in.text()
             << L"'";
        if (const std::uint16_t data = in.word(); help || exstyle || data)
            line << L" help " << help << L" exstyle " << hex(exstyle) << L" data " << data;
        lines.push_back(line.str());
    }
    EXPECT_TRUE(in.atEnd()) << "nothing follows the last control";
    return lines;
}

// Every resource of a module as "type/name/language".
std::wstring nameOf(LPCWSTR name) {
    return IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : name;
}
BOOL CALLBACK addLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR list) {
    reinterpret_cast<std::set<std::wstring>*>(list)->insert(nameOf(type) + L"/" + nameOf(name) +
                                                            L"/" + std::to_wstring(language));
    return TRUE;
}
BOOL CALLBACK addName(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR list) {
    EnumResourceLanguagesW(module, type, name, addLanguage, list);
    return TRUE;
}
BOOL CALLBACK addType(HMODULE module, LPWSTR type, LONG_PTR list) {
    EnumResourceNamesW(module, type, addName, list);
    return TRUE;
}

TEST(ProgramResourcesTest, HoldsTheDialogsTheStringTablesAndTheManifestOnly) {
    std::set<std::wstring> found;
    EnumResourceTypesW(program(), addType, reinterpret_cast<LONG_PTR>(&found));
    // Dialog 101 and string block 7 (entries 96 to 111) in German and English, and the
    // manifest: nothing of the toolchain's own.
    const std::set<std::wstring> expected = {L"5/101/1031", L"5/101/1033", L"6/7/1031", L"6/7/1033",
                                             L"24/1/1033"};
    EXPECT_EQ(found, expected);
}

TEST(ProgramResourcesTest, ManifestIsTheEmptyAssemblyWithItsLineBreak) {
    constexpr char MANIFEST[] =
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
        "</assembly>";
    static_assert(sizeof MANIFEST - 1 == 86);
    const Resource manifest(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1), ENGLISH);
    EXPECT_EQ(std::string(manifest.bytes.begin(), manifest.bytes.end()), MANIFEST);
}

TEST(ProgramResourcesTest, StringTablesInBothLanguages) {
    const std::pair<WORD, std::vector<std::wstring>> tables[] = {
        {ENGLISH,
         {L"Map Files", L"All Files", L"Targa Files",
          L"The map does not contain a preview image.\nNothing done."}},
        {GERMAN,
         {L"Karten Dateien", L"Alle Dateien", L"Targa Dateien",
          L"Die Map verf\u00fcgt \u00fcber keine Vorschau.\nKeine \u00c4nderung."}},
    };
    for (const auto& [language, texts] : tables) {
        // Block 7 holds entries 96 to 111; IDS_MAP_FILES to IDS_NO_PREVIEW are 102 to 105.
        std::vector<std::wstring> expected(16);
        std::copy(texts.begin(), texts.end(), expected.begin() + IDS_MAP_FILES % 16);
        Resource in(RT_STRING, MAKEINTRESOURCEW(7), language);
        std::vector<std::wstring> found(16);
        for (std::wstring& s : found) {
            s.resize(in.word());
            for (wchar_t& c : s)
                c = in.word();
        }
        EXPECT_TRUE(in.atEnd());
        EXPECT_EQ(found, expected) << language;
    }
}

// The dialog's own line is the same in both languages: WS_EX_APPWINDOW | WS_EX_ACCEPTFILES;
// WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS;
// no menu, the default class, 8 point MS Shell Dlg. Controls: #128 Button, #129 Edit,
// #130 Static; 50020000 a left-aligned text in a new group, 50810080 a bordered,
// horizontally scrolling field, 50010000 a push button (none is the default one),
// 58010000 the same, disabled.
TEST(ProgramResourcesTest, DialogInBothLanguages) {
    const std::wstring frame = L"version 1 0000FFFF help 0 exstyle 00040010 style 80C808C8 at "
                               L"0,0,312,102 menu '' class '' 'Brenwick' font 8 weight 400 "
                               L"italic 0 charset 1 'MS Shell Dlg'";
    const std::wstring exit = L"50010000 at 130,81,50,14 id 2 #128 ";
    const std::wstring version = L"50020000 at 209,87,96,8 id -1 #130 'Version 1.0, by Tovrin'";
    const std::pair<WORD, std::vector<std::wstring>> dialogs[] = {
        {ENGLISH,
         {frame, L"50020000 at 9,16,30,8 id -1 #130 'Map File:'",
          L"50810080 at 42,13,208,14 id 1001 #129 ''",
          L"50010000 at 252,13,50,14 id 1002 #128 'Browse'",
          L"58010000 at 111,32,89,20 id 1003 #128 'Extract Preview'",
          L"50020000 at 74,54,166,8 id -1 #130 'Warning: The preview will be removed from the "
          L"file.'",
          exit + L"'E&xit'", version}},
        {GERMAN,
         {frame, L"50020000 at 9,16,44,8 id -1 #130 'Karten Datei:'",
          L"50810080 at 56,13,187,14 id 1001 #129 ''",
          L"50010000 at 245,13,57,14 id 1002 #128 'Durchsuchen'",
          L"58010000 at 111,32,89,20 id 1003 #128 'Vorschau Extrahieren'",
          L"50020000 at 72,54,168,8 id -1 #130 'Warnung: Die Vorschau wird aus der Datei "
          L"entfernt.'",
          exit + L"'E&nde'", version}},
    };
    for (const auto& [language, expected] : dialogs)
        EXPECT_EQ(describeDialog(language), expected) << language;
}

} // namespace
