// PREVIEW_EXTRACTOR worked through its windows, and the download in DOWNLOAD_FOLDER.
#include "resource.h"
#include "run_program.h"
#include "string_table.h"
#include "test_support.h"
#include "text_ids.h"
#include "utf8.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>

namespace {

// A message box's text; a chooser's name box: in Wine, ComboBoxEx > ComboBox > Edit.
constexpr int MESSAGE_TEXT = 0xFFFF, NAME_BOX = 0x47C;

// Clicks are posted: they may open a modal window there. Setting a text notifies as typing.
std::wstring textOf(HWND window) {
    wchar_t text[1024] = {};
    SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}
void type(HWND edit, const std::wstring& text) {
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}
void click(HWND window, int button) {
    PostMessageW(GetDlgItem(window, button), BM_CLICK, 0, 0);
}

bool waitUntil(const std::function<bool()>& condition) {
    for (int tries = 0; !condition(); ++tries) {
        if (tries == 4000) // 20 s
            return false;
        Sleep(5);
    }
    return true;
}

// The first visible window of process `id` holding `control`; none is a failure.
HWND waitFor(DWORD id, int control) {
    HWND w = nullptr;
    const auto found = [&] {
        DWORD process = 0;
        for (w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT))
            if (GetWindowThreadProcessId(w, &process) && process == id && IsWindowVisible(w) &&
                GetDlgItem(w, control))
                return true;
        return false;
    };
    EXPECT_TRUE(waitUntil(found)) << "no window with " << control;
    return w;
}

// The program's exit code after `drive` worked its dialog; 1 if it had to be ended then.
int runDialog(const std::vector<std::wstring>& arguments,
              const std::function<void(DWORD, HWND)>& drive) {
    const auto driven = [&](long id) {
        drive(id, waitFor(id, IDC_MAP_PATH));
        const FileHandle process(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE, FALSE, id));
        if (WaitForSingleObject(process.get(), 20000) == WAIT_TIMEOUT)
            TerminateProcess(process.get(), 1);
    };
    return runProgram(_wgetenv(L"PREVIEW_EXTRACTOR"), arguments, driven).exitCode;
}

void expectField(HWND dialog, const std::wstring& text, bool enabled) {
    EXPECT_TRUE(waitUntil([&] {
        return textOf(GetDlgItem(dialog, IDC_MAP_PATH)) == text &&
               (IsWindowEnabled(GetDlgItem(dialog, IDC_EXTRACT)) != FALSE) == enabled;
    })) << toUtf8(text);
}

class EndToEndTest : public ::testing::Test {
protected:
    void SetUp() override { std::filesystem::current_path(dir.path()); }
    void TearDown() override { std::filesystem::current_path(before); }

    const std::filesystem::path before = std::filesystem::current_path();
    TempDir dir;
    const std::wstring folder = dir.file(L""); // ending in a backslash
    const SampleMap sample = sampleMap();
    const bool german = _wgetenv(L"EXPECTED_LANGUAGE") == std::wstring(L"de");
};
class DownloadTest : public EndToEndTest {};

// Paths chosen and typed (relative, with a space), cancels, the question before any write.
TEST_F(EndToEndTest, ExtractsThenFindsNoPreviewInTheUsersLanguage) {
    CreateDirectoryW(dir.file(L"my maps").c_str(), nullptr);
    const std::wstring map = L"my maps\\alpha.v2.ted", chosen = dir.file(map);
    const std::wstring targa = dir.file(L"picture.tga"), picture = dir.file(L"picture");
    writeFile(chosen, sample.bytes());
    writeFile(targa, text("keep me"));
    // The control (the field: typing), the name ("" cancels), the answers, the field after.
    const std::tuple<int, std::wstring, std::vector<int>, std::wstring> steps[] = {
        {IDC_BROWSE, chosen, {}, chosen},     {IDC_MAP_PATH, folder, {}, folder},
        {IDC_BROWSE, L"", {}, folder},        {IDC_MAP_PATH, map, {}, map},
        {IDC_EXTRACT, L"", {}, map},          {IDC_EXTRACT, picture, {IDNO, IDYES}, map},
        {IDC_EXTRACT, picture, {IDYES}, map},
    };
    const auto drive = [&](DWORD id, HWND dialog) {
        for (const auto& [control, name, answers, field] : steps) {
            const Bytes targaBefore = readFile(targa);
            if (control == IDC_MAP_PATH)
                type(GetDlgItem(dialog, IDC_MAP_PATH), name);
            else {
                click(dialog, control);
                HWND chooser = waitFor(id, NAME_BOX);
                HWND edit = GetWindow(GetWindow(GetDlgItem(chooser, NAME_BOX), GW_CHILD), GW_CHILD);
                EXPECT_EQ(textOf(edit), control == IDC_BROWSE ? L"" : L"alpha.v2");
                type(edit, name);
                click(chooser, name.empty() ? IDCANCEL : IDOK);
                for (const int answer : answers) {
                    HWND question = waitFor(id, IDNO);
                    EXPECT_EQ(readFile(targa), targaBefore);
                    click(question, answer);
                    if (answer == IDNO && waitUntil([&] { return !IsWindowVisible(question); }))
                        click(chooser, IDOK);
                }
                EXPECT_TRUE(waitUntil([&] { return !IsWindowVisible(chooser); }));
            }
            expectField(dialog, field, field == map || field == chosen);
        }
        HWND box = waitFor(id, MESSAGE_TEXT);
        EXPECT_EQ(textOf(GetDlgItem(box, MESSAGE_TEXT)), loadResourceString(IDS_NO_PREVIEW));
        EXPECT_EQ(textOf(box), german ? L"Fehler" : L"Error");
        click(box, IDOK);
        click(dialog, IDCANCEL);
    };
    EXPECT_EQ(runDialog({}, drive), 0);
    EXPECT_EQ(readFile(targa), sample.preview);
    EXPECT_EQ(readFile(chosen), sample.withoutPreview());
}

// From the download: the dialog's first argument only if it exists, every way out 0; the guides.
TEST_F(DownloadTest, ProgramsRunAndGuidesQuoteTheMessagesInTheUsersLanguage) {
    const std::wstring download = _wgetenv(L"DOWNLOAD_FOLDER"), exe = download + L"tedchunk.exe";
    for (const auto* map : {L"alpha.ted", L"beta.ted", L"beta.map"})
        writeFile(dir.file(map), sample.bytes());
    // The arguments, the field's text, the way out: a message to a control or the dialog.
    const std::tuple<std::vector<std::wstring>, std::wstring, int, UINT, WPARAM> starts[] = {
        {{L"missing.ted", L"alpha.ted"}, L"", IDCANCEL, BM_CLICK, 0},
        {{folder}, folder, IDC_MAP_PATH, WM_KEYDOWN, VK_ESCAPE},
        {{}, L"", IDC_MAP_PATH, WM_KEYDOWN, VK_RETURN},
        {{L"alpha.ted"}, L"alpha.ted", 0, WM_SYSCOMMAND, SC_CLOSE},
    };
    for (const auto& start : starts) {
        const auto drive = [&](DWORD, HWND dialog) {
            const auto& [arguments, field, control, message, key] = start;
            expectField(dialog, field, !field.empty());
            PostMessageW(control ? GetDlgItem(dialog, control) : dialog, message, key, 1);
        };
        EXPECT_EQ(runDialog(std::get<0>(start), drive), 0) << "start " << &start - starts;
    }
    writeFile(dir.file(L"alpha.tga"), text("older preview"));
    writeFile(dir.file(L"broken.ted"), concat({chunk(19, text("TGA")), text("stray")}));
    CreateDirectoryW(dir.file(L"folder.ted").c_str(), nullptr);
    std::wstring printed = runProgram(exe, {L"extract", L"-o", L"alpha.ted", L"alpha.ted"}).err;
    printed += runProgram(exe, {L"extract", L"missing.ted", L"folder.ted", L"broken.ted",
                                L"alpha.ted", L"beta.ted", L"beta.map", L"beta.ted"})
                   .err;
    for (const std::wstring name : {L"README.txt", L"LIESMICH.txt"}) {
        const Bytes content = readFile(download + name);
        const std::wstring guide = fromUtf8(std::string(content.begin(), content.end()));
        const bool users = (name[0] == L'L') == german;
        std::wistringstream lines(printed + (users ? loadResourceString(IDS_NO_PREVIEW) : L""));
        for (std::wstring line; std::getline(lines, line);) {
            // A map's name (no space) alone, or before ": ": the guide quotes the rest.
            const std::size_t space = line.find(L' '), colon = line.find(L": ");
            line.erase(0, space == std::wstring::npos ? space : colon < space ? colon + 2 : 0);
            EXPECT_NE(guide.find(line), std::wstring::npos) << toUtf8(line + L" in " + name);
        }
    }
}

} // namespace
