// The Windows download as users get it: the zip unpacked alone into an empty folder by
// dist_test.sh (which also checks the zip's file list and the programs' imports), its
// programs started from there. Needs a display for the dialog.
#include "dialog_driver.h"
#include "resource.h"
#include "run_program.h"
#include "test_support.h"
#include "utf8.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

// The unpacked download, a full Windows path ending in a backslash.
std::wstring downloadFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetEnvironmentVariableW(L"DOWNLOAD_FOLDER", folder, MAX_PATH);
    return folder;
}

std::wstring fromDownload(const std::wstring& name) {
    return downloadFolder() + name;
}

bool germanExpected() {
    const char* expected = std::getenv("EXPECTED_LANGUAGE");
    return expected && std::string(expected) == "de";
}

std::vector<std::wstring> linesOf(const std::wstring& text) {
    std::vector<std::wstring> lines;
    std::wistringstream in(text);
    for (std::wstring line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The lines of what tedchunk printed on standard error, without the paths: a line
// that starts with one is a path alone or a map's prefix before the message.
std::vector<std::wstring> messageLines(const ProgramRun& run, const std::wstring& folder) {
    std::vector<std::wstring> lines;
    for (std::wstring line : linesOf(run.err)) {
        if (line.rfind(folder, 0) == 0) {
            const std::size_t prefix = line.find(L": ");
            if (prefix == std::wstring::npos)
                continue;
            line.erase(0, prefix + 2);
        }
        lines.push_back(line);
    }
    return lines;
}

class DownloadTest : public ::testing::Test {
protected:
    ProgramRun tedchunk(const std::vector<std::wstring>& arguments) {
        return runProgram(fromDownload(L"tedchunk.exe"), arguments);
    }
    std::wstring placeMap(const std::wstring& name, const Bytes& content) {
        writeFile(dir.file(name), content);
        return dir.file(name);
    }

    TempDir dir;
    SampleMap sample = sampleMap();
};

TEST_F(DownloadTest, TedchunkTellsItsVersionAndExtracts) {
    ProgramRun run = tedchunk({L"--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, L"tedchunk " DIST_VERSION L"\n");

    const std::wstring map = placeMap(L"alpha.ted", sample.bytes());
    run = tedchunk({L"extract", map});
    EXPECT_EQ(run.exitCode, 0) << toUtf8(run.err);
    EXPECT_EQ(readFile(dir.file(L"alpha.tga")), sample.preview);
    EXPECT_EQ(readFile(map), sample.withoutPreview());
}

TEST_F(DownloadTest, DialogOpensWithTheMapAndExitsWithZero) {
    const std::wstring map = placeMap(L"alpha.ted", sample.bytes());
    Tool tool({map}, downloadFolder());
    HWND dialog = tool.mainDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(field(dialog), map);
    EXPECT_TRUE(buttonEnabled(dialog));
    click(GetDlgItem(dialog, IDCANCEL));
    EXPECT_EQ(tool.exitCode(), 0);
    EXPECT_EQ(readFile(map), sample.bytes());
}

// The guide as Notepad would show it, checked to be readable there: CRLF line ends, the
// English one plain ASCII, the German one UTF-8 with a byte order mark.
std::wstring readGuide(const std::wstring& name) {
    const bool german = name == L"LIESMICH.txt";
    const Bytes content = readFile(fromDownload(name));
    std::string utf8(content.begin(), content.end());
    EXPECT_EQ(utf8.rfind("\xEF\xBB\xBF", 0) == 0, german) << "byte order mark";
    if (german)
        utf8.erase(0, 3);
    std::size_t bareLineFeeds = 0, otherThanAscii = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        bareLineFeeds += utf8[i] == '\n' && (i == 0 || utf8[i - 1] != '\r');
        otherThanAscii += static_cast<unsigned char>(utf8[i]) >= 0x80;
    }
    EXPECT_EQ(bareLineFeeds, 0u);
    EXPECT_TRUE(german || otherThanAscii == 0);
    EXPECT_TRUE(utf8.size() >= 2 && utf8.substr(utf8.size() - 2) == "\r\n");
    const std::wstring text = fromUtf8(utf8);
    EXPECT_EQ(text.find(L'\uFFFD'), std::wstring::npos) << "not UTF-8";
    return text;
}

// Both guides quote each message as the programs show it (tedchunk's are the dialog's);
// the no-preview text is in the user's language, so each run checks the guide in its
// own. Runs in English and, with LANG=de_DE.UTF-8, in German.
TEST_F(DownloadTest, GuidesQuoteTheMessagesInTheUsersLanguage) {
    CreateDirectoryW(dir.file(L"folder.ted").c_str(), nullptr);
    const std::wstring alpha = placeMap(L"alpha.ted", sample.bytes());
    const std::wstring beta = placeMap(L"beta.ted", sample.bytes());
    const std::wstring betaToo = placeMap(L"beta.map", sample.bytes());
    writeFile(dir.file(L"alpha.tga"), text("older preview"));
    const std::wstring broken =
        placeMap(L"broken.ted", concat({chunk(19, text("TGA")), text("stray")}));
    const std::wstring none = placeMap(L"none.ted", chunk(1, text("no preview here")));
    const std::wstring folder = dir.path().wstring();

    const std::vector<std::vector<std::wstring>> failures = {
        {L"extract", dir.file(L"missing.ted")},
        {L"extract", dir.file(L"folder.ted")},
        {L"extract", broken},
        {L"extract", L"-o", alpha, alpha},
        {L"extract", alpha},
        {L"extract", beta, betaToo},
    };
    std::vector<std::wstring> fileMessages;
    for (const auto& arguments : failures) {
        const ProgramRun run = tedchunk(arguments);
        EXPECT_EQ(run.exitCode, 1) << toUtf8(run.err);
        for (const std::wstring& line : messageLines(run, folder))
            fileMessages.push_back(line);
    }
    const ProgramRun noPreview = tedchunk({L"extract", none});
    EXPECT_EQ(noPreview.exitCode, 3);

    const std::wstring usersGuide = germanExpected() ? L"LIESMICH.txt" : L"README.txt";
    for (const std::wstring name : {L"README.txt", L"LIESMICH.txt"}) {
        SCOPED_TRACE(toUtf8(name));
        const std::wstring guide = readGuide(name);
        std::vector<std::wstring> quoted = fileMessages;
        if (name == usersGuide)
            quoted.push_back(noPreview.err);
        for (const std::wstring& message : quoted)
            for (const std::wstring& line : linesOf(message))
                EXPECT_NE(guide.find(line), std::wstring::npos) << toUtf8(line);
    }
}

} // namespace
