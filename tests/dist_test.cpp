// The Windows download as users get it: the zip unpacked alone into an empty folder by
// dist_test.sh (which also checks its file list, imports and build paths), its programs
// started from there. Needs a display for the dialog.
#include "dialog_driver.h"
#include "resource.h"
#include "run_program.h"
#include "test_support.h"
#include "utf8.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

// A file of the unpacked download (DOWNLOAD_FOLDER ends in a backslash).
std::wstring fromDownload(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    GetEnvironmentVariableW(L"DOWNLOAD_FOLDER", folder, MAX_PATH);
    return folder + name;
}

std::vector<std::wstring> linesOf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wistringstream in(text);
    for (std::wstring line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

ProgramRun tedchunk(const std::vector<std::wstring>& arguments) {
    return runProgram(fromDownload(L"tedchunk.exe"), arguments);
}

TEST(DownloadTest, BothProgramsRunFromTheUnpackedFolder) {
    const ProgramRun run = tedchunk({L"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, L"tedchunk " DIST_VERSION L"\n");

    Tool tool({}, fromDownload(L""));
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

// The guide as Notepad shows it: CRLF line ends, the English one plain ASCII, the German
// one UTF-8 with a byte order mark.
std::wstring readGuide(const std::wstring& name) {
    const bool german = name == L"LIESMICH.txt";
    const Bytes content = readFile(fromDownload(name));
    std::string utf8(content.begin(), content.end());
    EXPECT_EQ(utf8.rfind("\xEF\xBB\xBF", 0) == 0, german) << "byte order mark";
    utf8.erase(0, german ? 3 : 0);
    std::size_t bareLineFeeds = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i)
        bareLineFeeds += utf8[i] == '\n' && (i == 0 || utf8[i - 1] != '\r');
    EXPECT_EQ(bareLineFeeds, 0u);
    EXPECT_TRUE(german || std::all_of(utf8.begin(), utf8.end(), [](char c) { return c > 0; }));
    EXPECT_EQ(utf8.substr(utf8.size() - 2), "\r\n");
    const std::wstring text = fromUtf8(utf8);
    EXPECT_EQ(text.find(L'\uFFFD'), std::wstring::npos) << "not UTF-8";
    return text;
}

// Both guides quote each message as the programs show it (tedchunk's are the dialog's);
// the no-preview text is in the user's language, so each run checks it in its own guide.
// Runs in English and, with LANG=de_DE.UTF-8, in German.
TEST(DownloadTest, GuidesQuoteTheMessagesInTheUsersLanguage) {
    const TempDir dir;
    const SampleMap sample = sampleMap();
    for (const wchar_t* name : {L"alpha.ted", L"beta.ted", L"beta.map"})
        writeFile(dir.file(name), sample.bytes());
    writeFile(dir.file(L"alpha.tga"), text("older preview"));
    writeFile(dir.file(L"broken.ted"), concat({chunk(19, text("TGA")), text("stray")}));
    writeFile(dir.file(L"none.ted"), chunk(1, text("no preview here")));
    CreateDirectoryW(dir.file(L"folder.ted").c_str(), nullptr);
    const std::vector<std::vector<std::wstring>> failures = {
        {dir.file(L"missing.ted")}, {dir.file(L"folder.ted")},
        {dir.file(L"broken.ted")},  {L"-o", dir.file(L"alpha.ted"), dir.file(L"alpha.ted")},
        {dir.file(L"alpha.ted")},   {dir.file(L"beta.ted"), dir.file(L"beta.map")},
    };
    // Each printed line without its path: a line that starts with one is a path alone or
    // a map's prefix before the message.
    std::vector<std::wstring> messages;
    for (std::vector<std::wstring> arguments : failures) {
        arguments.insert(arguments.begin(), L"extract");
        const ProgramRun run = tedchunk(arguments);
        EXPECT_EQ(run.exitCode, 1) << toUtf8(run.err);
        for (const std::wstring& line : linesOf(run.err)) {
            const std::size_t prefix = line.find(L": ");
            if (line.rfind(dir.path().wstring(), 0) != 0)
                messages.push_back(line);
            else if (prefix != std::wstring::npos)
                messages.push_back(line.substr(prefix + 2));
        }
    }
    const ProgramRun noPreview = tedchunk({L"extract", dir.file(L"none.ted")});
    EXPECT_EQ(noPreview.exitCode, 3);

    const std::wstring usersGuide = germanExpected() ? L"LIESMICH.txt" : L"README.txt";
    for (const std::wstring name : {L"README.txt", L"LIESMICH.txt"}) {
        SCOPED_TRACE(toUtf8(name));
        const std::wstring guide = readGuide(name);
        std::vector<std::wstring> quoted = messages;
        if (name == usersGuide)
            quoted.push_back(noPreview.err);
        for (const std::wstring& message : quoted)
            for (const std::wstring& line : linesOf(message))
                EXPECT_NE(guide.find(line), std::wstring::npos) << toUtf8(line);
    }
}

} // namespace
