// The resources of the built PreviewExtractor.exe, read back from the file itself.
#include "resource.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr WORD GERMAN = MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN);
constexpr WORD ENGLISH = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

// Reads a resource's bytes little-endian, one field at a time.
class ResourceBytes {
public:
    explicit ResourceBytes(std::vector<std::uint8_t> data) : data(std::move(data)) {}

    std::uint16_t word() {
        const std::uint16_t value = static_cast<std::uint16_t>(at(0) | at(1) << 8);
        position += 2;
        return value;
    }
    std::uint32_t dword() {
        const std::uint32_t low = word();
        return low | std::uint32_t(word()) << 16;
    }
    std::int16_t coordinate() { return static_cast<std::int16_t>(word()); }
    std::wstring text() {
        std::wstring out;
        for (wchar_t c = word(); c != 0; c = word())
            out += c;
        return out;
    }
    // A name or a number, as templates hold them: 0xFFFF then a number, or a text.
    std::wstring nameOrNumber() {
        if (at(0) == 0xFF && at(1) == 0xFF) {
            word();
            return L"#" + std::to_wstring(word());
        }
        return text();
    }
    void alignTo4() { position = (position + 3) & ~std::size_t(3); }
    bool atEnd() const { return position == data.size(); }
    std::size_t size() const { return data.size(); }

private:
    std::uint8_t at(std::size_t offset) const { return data.at(position + offset); }

    std::vector<std::uint8_t> data;
    std::size_t position = 0;
};

// A dialog template as lines of text, one for the dialog and one per control, so that
// the expectations read like the layout table and a difference shows where it is.
std::vector<std::wstring> describeTemplate(ResourceBytes in) {
    std::vector<std::wstring> lines;
    std::wstring line;
    // Each field is read in its own statement: the reads must happen in file order.
    const auto put = [&line](const wchar_t* label, const std::wstring& value) {
        line += (line.empty() ? L"" : L" ") + std::wstring(label) + L" " + value;
    };
    const auto number = [](long value) { return std::to_wstring(value); };
    const auto hex = [](std::uint32_t value) {
        wchar_t text[16];
        swprintf(text, 16, L"%08X", value);
        return std::wstring(text);
    };
    const auto quoted = [](const std::wstring& text) { return L"'" + text + L"'"; };
    const auto rectangle = [&in] {
        std::wstring text;
        for (int i = 0; i < 4; ++i)
            text += (i ? L"," : L"") + std::to_wstring(in.coordinate());
        return text;
    };

    put(L"version", number(in.word()));
    put(L"signature", hex(in.word()));
    put(L"help", number(in.dword()));
    put(L"exstyle", hex(in.dword()));
    put(L"style", hex(in.dword()));
    const std::uint16_t count = in.word();
    put(L"at", rectangle());
    put(L"menu", quoted(in.nameOrNumber()));
    put(L"class", quoted(in.nameOrNumber()));
    put(L"caption", quoted(in.text()));
    put(L"font", number(in.word()));
    put(L"weight", number(in.word()));
    const std::uint16_t italicAndCharset = in.word();
    put(L"italic", number(italicAndCharset & 0xFF));
    put(L"charset", number(italicAndCharset >> 8));
    put(L"typeface", quoted(in.text()));
    lines.push_back(line);

    for (std::uint16_t i = 0; i < count; ++i) {
        in.alignTo4();
        line.clear();
        put(L"help", number(in.dword()));
        put(L"exstyle", hex(in.dword()));
        put(L"style", hex(in.dword()));
        put(L"at", rectangle());
        put(L"id", number(static_cast<std::int32_t>(in.dword())));
        put(L"class", in.nameOrNumber());
        put(L"text", quoted(in.nameOrNumber()));
        put(L"data", number(in.word()));
        lines.push_back(line);
    }
    EXPECT_TRUE(in.atEnd()) << "nothing follows the last control";
    return lines;
}

// The dialog's own line, the same in both languages: WS_EX_APPWINDOW | WS_EX_ACCEPTFILES;
// WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS,
// no minimize or maximize box; no menu, the default class, 8 point MS Shell Dlg.
const std::wstring DIALOG_FRAME =
    L"version 1 signature 0000FFFF help 0 exstyle 00040010 style 80C808C8 at 0,0,312,102 "
    L"menu '' class '' caption 'Brenwick' font 8 weight 400 italic 0 charset 1 "
    L"typeface 'MS Shell Dlg'";

class ProgramResourcesTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        wchar_t path[MAX_PATH] = {};
        ASSERT_NE(GetEnvironmentVariableW(L"PREVIEW_EXTRACTOR", path, MAX_PATH), 0u)
            << "PREVIEW_EXTRACTOR names the program under test";
        program = LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(program, nullptr);
    }
    static void TearDownTestSuite() { FreeLibrary(program); }

    static std::vector<std::uint8_t> resource(LPCWSTR type, LPCWSTR name, WORD language) {
        HRSRC found = FindResourceExW(program, type, name, language);
        if (!found)
            return {};
        const auto* data =
            static_cast<const std::uint8_t*>(LockResource(LoadResource(program, found)));
        return std::vector<std::uint8_t>(data, data + SizeofResource(program, found));
    }

    static std::vector<std::wstring> dialog(WORD language) {
        return describeTemplate(
            ResourceBytes(resource(RT_DIALOG, MAKEINTRESOURCEW(IDD_MAIN), language)));
    }

    // The 16 texts of string-table block `block`.
    static std::vector<std::wstring> stringBlock(unsigned block, WORD language) {
        ResourceBytes in(resource(RT_STRING, MAKEINTRESOURCEW(block), language));
        std::vector<std::wstring> texts;
        for (int i = 0; i < 16; ++i) {
            std::wstring s(in.word(), L'\0');
            for (wchar_t& c : s)
                c = in.word();
            texts.push_back(s);
        }
        EXPECT_TRUE(in.atEnd());
        return texts;
    }

    static HMODULE program;
};

HMODULE ProgramResourcesTest::program = nullptr;

std::wstring nameOf(LPCWSTR name) {
    return IS_INTRESOURCE(name) ? std::to_wstring(reinterpret_cast<ULONG_PTR>(name)) : name;
}

// Every resource of a module as "type/name/language".
using ResourceList = std::set<std::wstring>;

BOOL CALLBACK addLanguage(HMODULE, LPCWSTR type, LPCWSTR name, WORD language, LONG_PTR list) {
    reinterpret_cast<ResourceList*>(list)->insert(nameOf(type) + L"/" + nameOf(name) + L"/" +
                                                  std::to_wstring(language));
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

TEST_F(ProgramResourcesTest, HoldsTheDialogsTheStringTablesAndTheManifestOnly) {
    ResourceList found;
    EnumResourceTypesW(program, addType, reinterpret_cast<LONG_PTR>(&found));
    // Dialog 101 and string block 7 (entries 96 to 111) in German and English, and the
    // manifest: nothing of the toolchain's own.
    const ResourceList expected = {L"5/101/1031", L"5/101/1033", L"6/7/1031", L"6/7/1033",
                                   L"24/1/1033"};
    EXPECT_EQ(found, expected);
}

TEST_F(ProgramResourcesTest, ManifestIsTheEmptyAssemblyWithItsLineBreak) {
    const std::vector<std::uint8_t> manifest =
        resource(MAKEINTRESOURCEW(24), MAKEINTRESOURCEW(1), ENGLISH);
    const std::string expected =
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\r\n"
        "</assembly>";
    ASSERT_EQ(manifest.size(), 86u);
    EXPECT_EQ(std::string(manifest.begin(), manifest.end()), expected);
}

TEST_F(ProgramResourcesTest, StringTablesInBothLanguages) {
    const std::vector<std::wstring> german = stringBlock(7, GERMAN);
    const std::vector<std::wstring> english = stringBlock(7, ENGLISH);
    ASSERT_EQ(german.size(), 16u);
    ASSERT_EQ(english.size(), 16u);
    for (unsigned id = 96; id < 112; ++id) {
        if (id < IDS_MAP_FILES || id > IDS_NO_PREVIEW) {
            EXPECT_EQ(german[id % 16], L"") << id;
            EXPECT_EQ(english[id % 16], L"") << id;
        }
    }
    EXPECT_EQ(german[IDS_MAP_FILES % 16], L"Karten Dateien");
    EXPECT_EQ(german[IDS_ALL_FILES % 16], L"Alle Dateien");
    EXPECT_EQ(german[IDS_TARGA_FILES % 16], L"Targa Dateien");
    EXPECT_EQ(german[IDS_NO_PREVIEW % 16],
              L"Die Map verf\u00fcgt \u00fcber keine Vorschau.\nKeine \u00c4nderung.");
    EXPECT_EQ(english[IDS_MAP_FILES % 16], L"Map Files");
    EXPECT_EQ(english[IDS_ALL_FILES % 16], L"All Files");
    EXPECT_EQ(english[IDS_TARGA_FILES % 16], L"Targa Files");
    EXPECT_EQ(english[IDS_NO_PREVIEW % 16],
              L"The map does not contain a preview image.\nNothing done.");
}

// Classes: #128 Button, #129 Edit, #130 Static. Styles: 50020000 a left-aligned text in
// a new group; 50810080 a bordered, horizontally scrolling field; 50010000 a push button
// (none is the default one); 58010000 the same, disabled.
TEST_F(ProgramResourcesTest, EnglishDialog) {
    const std::vector<std::wstring> expected = {
        DIALOG_FRAME,
        L"help 0 exstyle 00000000 style 50020000 at 9,16,30,8 id -1 class #130 text 'Map File:' "
        L"data 0",
        L"help 0 exstyle 00000000 style 50810080 at 42,13,208,14 id 1001 class #129 text '' data 0",
        L"help 0 exstyle 00000000 style 50010000 at 252,13,50,14 id 1002 class #128 text 'Browse' "
        L"data 0",
        L"help 0 exstyle 00000000 style 58010000 at 111,32,89,20 id 1003 class #128 text 'Extract "
        L"Preview' "
        L"data 0",
        L"help 0 exstyle 00000000 style 50020000 at 74,54,166,8 id -1 class #130 text 'Warning: "
        L"The preview "
        L"will be removed from the file.' data 0",
        L"help 0 exstyle 00000000 style 50010000 at 130,81,50,14 id 2 class #128 text 'E&xit' data "
        L"0",
        L"help 0 exstyle 00000000 style 50020000 at 209,87,96,8 id -1 class #130 text 'Version "
        L"1.0, by "
        L"Tovrin' data 0"};
    EXPECT_EQ(dialog(ENGLISH), expected);
}

TEST_F(ProgramResourcesTest, GermanDialog) {
    const std::vector<std::wstring> expected = {
        DIALOG_FRAME,
        L"help 0 exstyle 00000000 style 50020000 at 9,16,44,8 id -1 class #130 text 'Karten "
        L"Datei:' data 0",
        L"help 0 exstyle 00000000 style 50810080 at 56,13,187,14 id 1001 class #129 text '' data 0",
        L"help 0 exstyle 00000000 style 50010000 at 245,13,57,14 id 1002 class #128 text "
        L"'Durchsuchen' data 0",
        L"help 0 exstyle 00000000 style 58010000 at 111,32,89,20 id 1003 class #128 text 'Vorschau "
        L"Extrahieren' data 0",
        L"help 0 exstyle 00000000 style 50020000 at 72,54,168,8 id -1 class #130 text 'Warnung: "
        L"Die Vorschau "
        L"wird aus der Datei entfernt.' data 0",
        L"help 0 exstyle 00000000 style 50010000 at 130,81,50,14 id 2 class #128 text 'E&nde' data "
        L"0",
        L"help 0 exstyle 00000000 style 50020000 at 209,87,96,8 id -1 class #130 text 'Version "
        L"1.0, by "
        L"Tovrin' data 0"};
    EXPECT_EQ(dialog(GERMAN), expected);
}

} // namespace
