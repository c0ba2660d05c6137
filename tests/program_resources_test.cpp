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

struct Control {
    std::uint32_t helpId, exStyle, style;
    std::int16_t x, y, cx, cy;
    std::uint32_t id;
    std::wstring windowClass, text;
    std::uint16_t creationDataSize;
};

struct Template {
    std::uint16_t version, signature;
    std::uint32_t helpId, exStyle, style;
    std::int16_t x, y, cx, cy;
    std::wstring menu, windowClass, caption;
    std::uint16_t pointSize, weight;
    std::uint8_t italic, charset;
    std::wstring typeface;
    std::vector<Control> controls;
};

Template parseTemplate(ResourceBytes in) {
    Template t{};
    t.version = in.word();
    t.signature = in.word();
    t.helpId = in.dword();
    t.exStyle = in.dword();
    t.style = in.dword();
    const std::uint16_t count = in.word();
    t.x = in.coordinate();
    t.y = in.coordinate();
    t.cx = in.coordinate();
    t.cy = in.coordinate();
    t.menu = in.nameOrNumber();
    t.windowClass = in.nameOrNumber();
    t.caption = in.text();
    t.pointSize = in.word();
    t.weight = in.word();
    const std::uint16_t italicAndCharset = in.word();
    t.italic = static_cast<std::uint8_t>(italicAndCharset & 0xFF);
    t.charset = static_cast<std::uint8_t>(italicAndCharset >> 8);
    t.typeface = in.text();
    for (std::uint16_t i = 0; i < count; ++i) {
        in.alignTo4();
        Control c{};
        c.helpId = in.dword();
        c.exStyle = in.dword();
        c.style = in.dword();
        c.x = in.coordinate();
        c.y = in.coordinate();
        c.cx = in.coordinate();
        c.cy = in.coordinate();
        c.id = in.dword();
        c.windowClass = in.nameOrNumber();
        c.text = in.nameOrNumber();
        c.creationDataSize = in.word();
        t.controls.push_back(c);
    }
    EXPECT_TRUE(in.atEnd()) << "nothing follows the last control";
    return t;
}

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

    static Template dialog(WORD language) {
        return parseTemplate(
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

void expectFrame(const Template& t) {
    EXPECT_EQ(t.version, 1);
    EXPECT_EQ(t.signature, 0xFFFF);
    EXPECT_EQ(t.helpId, 0u);
    EXPECT_EQ(t.exStyle, 0x00040010u); // WS_EX_APPWINDOW | WS_EX_ACCEPTFILES
    // WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_CENTER | DS_MODALFRAME | DS_SETFONT |
    // DS_FIXEDSYS: no minimize or maximize box.
    EXPECT_EQ(t.style, 0x80C808C8u);
    EXPECT_EQ(t.x, 0);
    EXPECT_EQ(t.y, 0);
    EXPECT_EQ(t.cx, 312);
    EXPECT_EQ(t.cy, 102);
    EXPECT_EQ(t.menu, L"");
    EXPECT_EQ(t.windowClass, L"");
    EXPECT_EQ(t.caption, L"Brenwick");
    EXPECT_EQ(t.pointSize, 8);
    EXPECT_EQ(t.weight, 400);
    EXPECT_EQ(t.italic, 0);
    EXPECT_EQ(t.charset, 1);
    EXPECT_EQ(t.typeface, L"MS Shell Dlg");
}

struct ExpectedControl {
    std::uint32_t id;
    const wchar_t* windowClass;
    std::uint32_t style;
    const wchar_t* text;
    std::int16_t x, y, cx, cy;
};

const std::uint32_t NO_ID = 0xFFFFFFFF; // IDC_STATIC
const wchar_t* const BUTTON = L"#128";
const wchar_t* const EDIT = L"#129";
const wchar_t* const STATIC = L"#130";

void expectControls(const Template& t, const std::vector<ExpectedControl>& expected) {
    ASSERT_EQ(t.controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        const Control& c = t.controls[i];
        const ExpectedControl& e = expected[i];
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(c.windowClass, e.windowClass);
        EXPECT_EQ(c.style, e.style);
        EXPECT_EQ(c.text, e.text);
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.cx, e.cx);
        EXPECT_EQ(c.cy, e.cy);
        EXPECT_EQ(c.helpId, 0u);
        EXPECT_EQ(c.exStyle, 0u);
        EXPECT_EQ(c.creationDataSize, 0);
    }
}

TEST_F(ProgramResourcesTest, EnglishDialog) {
    const Template t = dialog(ENGLISH);
    expectFrame(t);
    expectControls(t, {{NO_ID, STATIC, 0x50020000, L"Map File:", 9, 16, 30, 8},
                       {IDC_MAP_PATH, EDIT, 0x50810080, L"", 42, 13, 208, 14},
                       {IDC_BROWSE, BUTTON, 0x50010000, L"Browse", 252, 13, 50, 14},
                       {IDC_EXTRACT, BUTTON, 0x58010000, L"Extract Preview", 111, 32, 89, 20},
                       {NO_ID, STATIC, 0x50020000,
                        L"Warning: The preview will be removed from the file.", 74, 54, 166, 8},
                       {IDCANCEL, BUTTON, 0x50010000, L"E&xit", 130, 81, 50, 14},
                       {NO_ID, STATIC, 0x50020000, L"Version 1.0, by Tovrin", 209, 87, 96, 8}});
}

TEST_F(ProgramResourcesTest, GermanDialog) {
    const Template t = dialog(GERMAN);
    expectFrame(t);
    expectControls(t, {{NO_ID, STATIC, 0x50020000, L"Karten Datei:", 9, 16, 44, 8},
                       {IDC_MAP_PATH, EDIT, 0x50810080, L"", 56, 13, 187, 14},
                       {IDC_BROWSE, BUTTON, 0x50010000, L"Durchsuchen", 245, 13, 57, 14},
                       {IDC_EXTRACT, BUTTON, 0x58010000, L"Vorschau Extrahieren", 111, 32, 89, 20},
                       {NO_ID, STATIC, 0x50020000,
                        L"Warnung: Die Vorschau wird aus der Datei entfernt.", 72, 54, 168, 8},
                       {IDCANCEL, BUTTON, 0x50010000, L"E&nde", 130, 81, 50, 14},
                       {NO_ID, STATIC, 0x50020000, L"Version 1.0, by Tovrin", 209, 87, 96, 8}});
}

} // namespace
