// The Windows download as users get it: the zip unpacked alone into an empty folder by
// dist_test.sh (which checks its file list, imports and build paths and points
// PREVIEW_EXTRACTOR there), its programs started from there.
#include "dialog_driver.h"
#include "run_program.h"
#include "string_table.h"
#include "test_support.h"
#include "text_ids.h"
#include "utf8.h"

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

TEST(DownloadTest, BothProgramsRunFromTheUnpackedFolder) {
    const ProgramRun run = runProgram(fromDownload(L"tedchunk.exe"), {L"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, L"tedchunk " DIST_VERSION L"\n");
    Tool tool({}, fromDownload(L""));
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
}

// Both guides quote each message as the programs show it (tedchunk's are the dialog's),
// the no-preview text in the user's language in that language's guide. The guides are as
// Notepad shows them: CRLF line ends, the German one UTF-8 with a byte order mark, the
// English one plain ASCII.
TEST(DownloadTest, GuidesQuoteTheMessagesInTheUsersLanguage) {
    const TempDir dir;
    for (const wchar_t* name : {L"alpha.ted", L"beta.ted", L"beta.map"})
        writeFile(dir.file(name), sampleMap().bytes());
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
    std::vector<std::wstring> lines;
    for (std::vector<std::wstring> arguments : failures) {
        arguments.insert(arguments.begin(), L"extract");
        std::wistringstream err(runProgram(fromDownload(L"tedchunk.exe"), arguments).err);
        for (std::wstring line; std::getline(err, line);) {
            if (line.rfind(dir.path().wstring(), 0) != 0)
                lines.push_back(line);
            else if (line.find(L": ") != std::wstring::npos)
                lines.push_back(line.substr(line.find(L": ") + 2));
        }
    }
    for (const bool german : {false, true}) {
        const Bytes content = readFile(fromDownload(german ? L"LIESMICH.txt" : L"README.txt"));
        const std::string bytes(content.begin(), content.end());
        EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0) == 0, german);
        EXPECT_TRUE(german ||
                    std::all_of(bytes.begin(), bytes.end(), [](char c) { return c > 0; }));
        for (std::size_t i = 0; i < bytes.size(); ++i)
            EXPECT_TRUE(bytes[i] != '\n' || (i > 0 && bytes[i - 1] == '\r')) << "a bare line feed";
        const std::wstring guide = fromUtf8(bytes);
        std::vector<std::wstring> quoted = lines;
        std::wistringstream own(german == germanExpected() ? loadResourceString(IDS_NO_PREVIEW)
                                                           : L"");
        for (std::wstring line; std::getline(own, line);)
            quoted.push_back(line);
        for (const std::wstring& line : quoted)
            EXPECT_NE(guide.find(line), std::wstring::npos)
                << toUtf8(line) << " in the " << (german ? "German" : "English");
    }
}

} // namespace
