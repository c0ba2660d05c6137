// PreviewExtractor.exe as a user meets it: started with arguments, driven through its
// windows from this separate process, results checked on disk. Needs a display.
#include "resource.h"
#include "run_program.h"
#include "test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int NAME_BOX = 0x47C;   // the save and open choosers' file name box
constexpr int FILE_TYPES = 0x470; // their file type list (cmb1)
constexpr int MESSAGE_TEXT = 0xFFFF;

bool germanExpected() {
    const char* expected = std::getenv("EXPECTED_LANGUAGE");
    return expected && std::string(expected) == "de";
}

// Polls `condition` until it holds or `seconds` have passed.
bool waitUntil(const std::function<bool()>& condition, double seconds = 20) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

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

// Clicks a button the way the button itself handles a click; posted, because the click
// may open a modal window in the other process.
void click(HWND button) {
    PostMessageW(button, BM_CLICK, 0, 0);
}

// A key pressed and released while `window` has the keyboard.
void press(HWND window, WPARAM key) {
    PostMessageW(window, WM_KEYDOWN, key, 1);
    PostMessageW(window, WM_KEYUP, key, 0xC0000001);
}

std::vector<std::wstring> comboItems(HWND combo) {
    std::vector<std::wstring> items;
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring item(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) + 1, L'\0');
        item.resize(SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data())));
        items.push_back(item);
    }
    return items;
}

// The first descendant of `parent` of window class `className`.
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

// The program under test, as a full Windows path.
std::wstring programPath() {
    wchar_t given[MAX_PATH] = {}, full[MAX_PATH] = {};
    GetEnvironmentVariableW(L"PREVIEW_EXTRACTOR", given, MAX_PATH);
    GetFullPathNameW(given, MAX_PATH, full, nullptr);
    return full;
}

// A running PreviewExtractor.exe; ended by force if a test leaves it running.
class Tool {
public:
    Tool(const std::vector<std::wstring>& arguments, const std::wstring& folder) {
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

    ~Tool() {
        if (WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process.get(), 1);
            WaitForSingleObject(process.get(), 5000);
        }
    }

    // The visible top-level windows of the process.
    std::vector<HWND> windows() const {
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

    // The first visible window of the process for which `matches` holds, waiting for it.
    HWND waitForWindow(const std::function<bool(HWND)>& matches) const {
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

    HWND mainDialog() const {
        return waitForWindow([](HWND w) {
            wchar_t caption[32] = {};
            GetWindowTextW(w, caption, 32);
            return classOf(w) == L"#32770" && std::wstring(caption) == L"Brenwick";
        });
    }

    // A file chooser owned by the main dialog.
    HWND chooser(HWND dialog) const {
        return waitForWindow([dialog](HWND w) {
            return GetWindow(w, GW_OWNER) == dialog && GetDlgItem(w, NAME_BOX) != nullptr;
        });
    }

    // A message box; with an owner, only one that `owner` owns.
    HWND messageBox(HWND owner = nullptr) const {
        return waitForWindow([owner](HWND w) {
            return GetDlgItem(w, MESSAGE_TEXT) != nullptr &&
                   (!owner || GetWindow(w, GW_OWNER) == owner);
        });
    }

    bool hasWindow(HWND window) const {
        for (HWND w : windows())
            if (w == window)
                return true;
        return false;
    }

    // The exit code once the process has ended; -1 if it did not end in time.
    long exitCode() const {
        if (WaitForSingleObject(process.get(), 20000) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 0;
        GetExitCodeProcess(process.get(), &code);
        return static_cast<long>(code);
    }

private:
    Handle process;
    DWORD id = 0;
};

bool buttonEnabled(HWND dialog) {
    return IsWindowEnabled(GetDlgItem(dialog, IDC_EXTRACT));
}
std::wstring field(HWND dialog) {
    return textOf(GetDlgItem(dialog, IDC_MAP_PATH));
}
HWND nameBoxOf(HWND chooser) {
    return findDescendant(GetDlgItem(chooser, NAME_BOX), L"Edit");
}

// Types `name` into the chooser's name box and confirms it.
void chooseName(HWND chooser, const std::wstring& name) {
    setText(nameBoxOf(chooser), name);
    click(GetDlgItem(chooser, IDOK));
}

class EndToEndTest : public ::testing::Test {
protected:
    bool fileBecomes(const std::wstring& path, const Bytes& content) {
        return waitUntil([&] { return fileExists(path) && readFile(path) == content; });
    }

    TempDir dir;
    SampleMap sample = sampleMap();
};

TEST_F(EndToEndTest, ExtractsThroughTheSaveChooser) {
    CreateDirectoryW(dir.file(L"my maps").c_str(), nullptr);
    const std::wstring map = dir.file(L"my maps\\alpha.v2.ted");
    const std::wstring targa = dir.file(L"saved.tga");
    writeFile(map, sample.bytes());
    Tool tool({map}, dir.path().wstring());

    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), map);
    ASSERT_TRUE(buttonEnabled(dialog));
    click(GetDlgItem(dialog, IDC_EXTRACT));

    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(textOf(nameBoxOf(chooser)), L"alpha.v2");
    const std::vector<std::wstring> types = comboItems(GetDlgItem(chooser, FILE_TYPES));
    EXPECT_EQ(types, (std::vector<std::wstring>{L"Targa Files (*.tga)", L"All Files (*.*)"}));
    chooseName(chooser, targa);

    EXPECT_TRUE(fileBecomes(targa, sample.preview));
    EXPECT_TRUE(fileBecomes(map, sample.withoutPreview()));
    EXPECT_TRUE(waitUntil([&] { return tool.windows().size() == 1; })) << "no message";
    EXPECT_EQ(field(dialog), map) << "the dialog stays for the next extraction";

    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

TEST_F(EndToEndTest, BrowseFillsTheFieldFromTheOpenChooser) {
    const std::wstring map = dir.file(L"alpha.ted");
    writeFile(map, sample.bytes());
    Tool tool({}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), L"");
    EXPECT_FALSE(buttonEnabled(dialog));

    click(GetDlgItem(dialog, IDC_BROWSE));
    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(textOf(nameBoxOf(chooser)), L"");
    const std::vector<std::wstring> types = comboItems(GetDlgItem(chooser, FILE_TYPES));
    EXPECT_EQ(types, (std::vector<std::wstring>{L"Map Files (*.ted)", L"All Files (*.*)"}));
    chooseName(chooser, map);

    EXPECT_TRUE(waitUntil([&] { return field(dialog) == map && buttonEnabled(dialog); }));
    EXPECT_FALSE(tool.hasWindow(chooser));
    press(GetDlgItem(dialog, IDC_MAP_PATH), VK_ESCAPE);
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(readFile(map), sample.bytes());
}

// Runs in English and, with LANG=de_DE.UTF-8, in German.
TEST_F(EndToEndTest, NoPreviewIsReportedInTheUsersLanguage) {
    const bool german = germanExpected();
    const std::wstring map = dir.file(L"plain.ted");
    const Bytes content = concat({chunk(1, text("MAP1")), container(10, {chunk(19, text("x"))})});
    writeFile(map, content);
    Tool tool({map}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(textOf(GetDlgItem(dialog, IDC_BROWSE)), german ? L"Durchsuchen" : L"Browse");
    EXPECT_EQ(textOf(GetDlgItem(dialog, IDCANCEL)), german ? L"E&nde" : L"E&xit");

    click(GetDlgItem(dialog, IDC_EXTRACT));
    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);
    const std::vector<std::wstring> types = comboItems(GetDlgItem(chooser, FILE_TYPES));
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types[0], german ? L"Targa Dateien (*.tga)" : L"Targa Files (*.tga)");
    chooseName(chooser, dir.file(L"plain.tga"));

    HWND box = tool.messageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(textOf(GetDlgItem(box, MESSAGE_TEXT)),
              german ? L"Die Map verf\u00fcgt \u00fcber keine Vorschau.\nKeine \u00c4nderung."
                     : L"The map does not contain a preview image.\nNothing done.");
    wchar_t caption[32] = {};
    GetWindowTextW(box, caption, 32);
    EXPECT_EQ(std::wstring(caption), german ? L"Fehler" : L"Error");
    click(GetDlgItem(box, IDOK));

    EXPECT_TRUE(waitUntil([&] { return !tool.hasWindow(box); }));
    EXPECT_EQ(readFile(map), content);
    EXPECT_FALSE(fileExists(dir.file(L"plain.tga")));
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

TEST_F(EndToEndTest, FirstArgumentNamingNothingIsDroppedSilently) {
    Tool tool({dir.file(L"missing.ted")}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), L"");
    EXPECT_FALSE(buttonEnabled(dialog));
    EXPECT_EQ(tool.windows().size(), 1u) << "no message";
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

TEST_F(EndToEndTest, OnlyTheFirstArgumentCounts) {
    const std::wstring map = dir.file(L"alpha.ted");
    writeFile(map, sample.bytes());
    {
        Tool tool({map, dir.file(L"missing.ted")}, dir.path().wstring());
        HWND dialog = tool.mainDialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(field(dialog), map);
        EXPECT_TRUE(buttonEnabled(dialog));
        click(GetDlgItem(dialog, IDCANCEL));
        EXPECT_EQ(tool.exitCode(), 0);
    }
    Tool tool({dir.file(L"missing.ted"), map}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), L"");
    EXPECT_FALSE(buttonEnabled(dialog));
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

// The map is given relative to the tool's folder, the Targa file is typed in another
// folder without extension: the chooser may move the current folder there.
TEST_F(EndToEndTest, TypedNameGetsTheTargaExtension) {
    CreateDirectoryW(dir.file(L"out").c_str(), nullptr);
    writeFile(dir.file(L"alpha.ted"), sample.bytes());
    Tool tool({L"alpha.ted"}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), L"alpha.ted");
    click(GetDlgItem(dialog, IDC_EXTRACT));
    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(textOf(nameBoxOf(chooser)), L"alpha");
    chooseName(chooser, dir.file(L"out\\picture"));

    EXPECT_TRUE(fileBecomes(dir.file(L"out\\picture.tga"), sample.preview));
    EXPECT_TRUE(fileBecomes(dir.file(L"alpha.ted"), sample.withoutPreview()));
    EXPECT_FALSE(fileExists(dir.file(L"out\\picture")));
    EXPECT_TRUE(waitUntil([&] { return tool.windows().size() == 1; })) << "no message";
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

TEST_F(EndToEndTest, ExistingTargaFileIsOverwrittenOnlyAfterConfirmation) {
    const std::wstring map = dir.file(L"alpha.ted");
    const std::wstring targa = dir.file(L"old.tga");
    writeFile(map, sample.bytes());
    writeFile(targa, text("keep me"));
    Tool tool({map}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    click(GetDlgItem(dialog, IDC_EXTRACT));
    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);

    chooseName(chooser, targa);
    HWND question = tool.messageBox(chooser);
    ASSERT_NE(question, nullptr);
    click(GetDlgItem(question, IDNO));
    EXPECT_TRUE(waitUntil([&] { return !tool.hasWindow(question); }));
    EXPECT_TRUE(tool.hasWindow(chooser)) << "declining returns to the chooser";
    EXPECT_EQ(readFile(targa), text("keep me"));
    EXPECT_EQ(readFile(map), sample.bytes());

    chooseName(chooser, targa);
    question = tool.messageBox(chooser);
    ASSERT_NE(question, nullptr);
    click(GetDlgItem(question, IDYES));
    EXPECT_TRUE(fileBecomes(targa, sample.preview));
    EXPECT_TRUE(fileBecomes(map, sample.withoutPreview()));
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

TEST_F(EndToEndTest, ExitEscapeEnterAndTheCloseBoxEndWithZero) {
    const std::vector<std::pair<const char*, std::function<void(HWND)>>> ways = {
        {"Exit", [](HWND d) { click(GetDlgItem(d, IDCANCEL)); }},
        {"Escape", [](HWND d) { press(GetDlgItem(d, IDC_MAP_PATH), VK_ESCAPE); }},
        {"Enter", [](HWND d) { press(GetDlgItem(d, IDC_MAP_PATH), VK_RETURN); }},
        {"close box", [](HWND d) { PostMessageW(d, WM_SYSCOMMAND, SC_CLOSE, 0); }},
    };
    for (const auto& [name, end] : ways) {
        SCOPED_TRACE(name);
        Tool tool({}, dir.path().wstring());
        HWND dialog = tool.mainDialog();
        ASSERT_NE(dialog, nullptr);
        end(dialog);
        EXPECT_EQ(tool.exitCode(), 0);
    }
}

// A folder given at start enables the button; its bare name "maps\\" is not a file name,
// so the chooser comes with an empty name box, and the extraction reports the folder.
TEST_F(EndToEndTest, FolderGivenAtStartIsReportedByTheExtraction) {
    CreateDirectoryW(dir.file(L"maps").c_str(), nullptr);
    const std::wstring folder = dir.file(L"maps\\");
    Tool tool({folder}, dir.path().wstring());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), folder);
    ASSERT_TRUE(buttonEnabled(dialog));
    click(GetDlgItem(dialog, IDC_EXTRACT));
    HWND chooser = tool.chooser(dialog);
    ASSERT_NE(chooser, nullptr);
    EXPECT_EQ(textOf(nameBoxOf(chooser)), L"");
    chooseName(chooser, dir.file(L"maps.tga"));

    HWND box = tool.messageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(textOf(GetDlgItem(box, MESSAGE_TEXT)), L"Unable to open file:\n" + folder);
    click(GetDlgItem(box, IDOK));
    EXPECT_TRUE(waitUntil([&] { return !tool.hasWindow(box); }));
    EXPECT_FALSE(fileExists(dir.file(L"maps.tga")));
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

} // namespace
