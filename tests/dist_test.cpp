// The Windows download as users get it: the zip unpacked alone into an empty folder by
// dist_test.sh (which checks its file list, imports and build paths), its programs started
// from there. Needs a display for the dialog.
#include "dialog_driver.h"
#include "resource.h"
#include "run_program.h"
#include "string_table.h"
#include "test_support.h"
#include "utf8.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace {

// A file of the unpacked download (DOWNLOAD_FOLDER ends in a backslash).
std::wstring fromDownload(const std::wstring& name) {
    wchar_t folder[MAX_PATH] = {};
    GetEnvironmentVariableW(L"DOWNLOAD_FOLDER", folder, MAX_PATH);
    return folder + name;
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

// The guide as Notepad shows it: CRLF line ends, the German one UTF-8 with a byte order
// mark, the English one plain ASCII.
std::wstring readGuide(const std::wstring& name) {
    const bool german = name == L"LIESMICH.txt";
    const Bytes content = readFile(fromDownload(name));
    std::string utf8(content.begin() + (german ? 3 : 0), content.end());
    EXPECT_EQ(Bytes(content.begin(), content.begin() + 3) == text("\xEF\xBB\xBF"), german);
    for (std::size_t i = 0; i < utf8.size(); ++i)
        EXPECT_TRUE(utf8[i] != '\n' || (i > 0 && utf8[i - 1] == '\r')) << "a bare line feed";
    EXPECT_TRUE(german || std::all_of(utf8.begin(), utf8.end(), [](char c) { return c > 0; }));
    return fromUtf8(utf8);
}

// Both guides quote each message as the programs show it (tedchunk's are the dialog's),
// the no-preview text in the user's language in that language's guide. Runs in English
// and, with LANG=de_DE.UTF-8, in German.
TEST(DownloadTest, GuidesQuoteTheMessagesInTheUsersLanguage) {
    const TempDir dir;
    const SampleMap sample = sampleMap();
    for (const wchar_t* name : {L"alpha.ted", L"beta.ted", L"beta.map"})
        writeFile(dir.file(name), sample.bytes());
    writeFile(dir.file(L"alpha.tga"), text("older preview"));
    writeFile(dir.file(L"broken.ted"), concat({chunk(19, text("TGA")), text("stray")}));
    CreateDirectoryW(dir.file(L"folder.ted").c_str(), nullptr);
    const std::vector<std::vector<std::wstring>> failures = {
        {dir.file(L"missing.ted")},
        {dir.file(L"folder.ted")},
        {dir.file(L"broken.ted")},
        {L"-o", dir.file(L"alpha.ted"), dir.file(L"alpha.ted")},
        {dir.file(L"alpha.ted")},
        {L"--force", dir.file(L"beta.ted"), dir.file(L"beta.map"), dir.file(L"beta.ted")},
    };
    // Each line printed, without the path a line starts with when it names a map.
    std::vector<std::wstring> quoted = {loadResourceString(IDS_NO_PREVIEW)};
    for (std::vector<std::wstring> arguments : failures) {
        arguments.insert(arguments.begin(), L"extract");
        std::wistringstream err(tedchunk(arguments).err);
        for (std::wstring line; std::getline(err, line);) {
            if (line.rfind(dir.path().wstring(), 0) != 0)
                quoted.push_back(line);
            else if (line.find(L": ") != std::wstring::npos)
                quoted.push_back(line.substr(line.find(L": ") + 2));
        }
    }
    const std::wstring usersGuide = germanExpected() ? L"LIESMICH.txt" : L"README.txt";
    for (const std::wstring name : {L"README.txt", L"LIESMICH.txt"}) {
        const std::wstring guide = readGuide(name);
        for (std::size_t i = name == usersGuide ? 0 : 1; i < quoted.size(); ++i) {
            std::wistringstream message(quoted[i]);
            for (std::wstring line; std::getline(message, line);)
                EXPECT_NE(guide.find(line), std::wstring::npos) << toUtf8(name + L": " + line);
        }
    }
}

} // namespace
