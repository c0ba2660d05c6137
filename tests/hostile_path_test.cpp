// Map and Targa paths that break naive code: letters outside ASCII, spaces, several
// dots, and lengths around the 260 characters where plain Win32 calls stop. Every
// outcome, good or bad, is checked on the dialog's command: the message it shows and
// that the map keeps its content.
#include "message_box.h"
#include "preview.h"
#include "test_support.h"
#include "utf8.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <ostream>
#include <set>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct PathShape {
    const char* name;
    // The map's path; the Targa file goes beside it under the same name.
    std::function<std::wstring(const TempDir&)> mapIn;
};

std::wstring withExtension(const std::wstring& path, const std::wstring& extension) {
    return path.substr(0, path.size() - 4) + extension;
}

void PrintTo(const PathShape& shape, std::ostream* out) { *out << shape.name; }

std::wstring nameOf(const std::filesystem::path& path) {
#ifdef _WIN32
    return path.filename().wstring();
#else
    return fromUtf8(path.filename().string());
#endif
}

std::wstring nameOf(const std::wstring& path) { return nameOf(nativePath(path)); }

std::set<std::wstring> namesBeside(const std::wstring& path) {
    const std::wstring folder = path.substr(0, path.find_last_of(SEPARATOR));
    std::set<std::wstring> names;
#ifdef _WIN32
    // The library's folder iterator does not take extended-length paths.
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((nativePath(folder).wstring() + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L"..")
            names.insert(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
#else
    for (const auto& entry : std::filesystem::directory_iterator(nativePath(folder)))
        names.insert(nameOf(entry.path()));
#endif
    return names;
}

class HostilePathTest : public ::testing::TestWithParam<PathShape> {
protected:
    void SetUp() override {
        setMessageHook([this](const ShownMessage& m) { shown.push_back(m); });
        map = GetParam().mapIn(dir);
        targa = withExtension(map, L".tga");
        writeFile(map, sample.bytes());
    }
    void TearDown() override { setMessageHook(nullptr); }

    void extract() { extractPreview(targa, map); }

    void expectMessage(const std::wstring& text) {
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_TRUE(shown[0].wide);
        EXPECT_EQ(shown[0].text, text);
        EXPECT_EQ(shown[0].style, MESSAGE_OK);
    }

    TempDir dir;
    SampleMap sample = sampleMap();
    std::wstring map, targa;
    std::vector<ShownMessage> shown;
};

TEST_P(HostilePathTest, PreviewIsSavedAndTheMapRewritten) {
    extract();
    EXPECT_TRUE(shown.empty());
    EXPECT_EQ(readFile(targa), sample.preview);
    EXPECT_EQ(readFile(map), sample.withoutPreview());
    EXPECT_EQ(namesBeside(map), (std::set<std::wstring>{nameOf(map), nameOf(targa)}))
        << "nothing else is left in the folder";
}

TEST_P(HostilePathTest, MissingMap) {
    std::filesystem::remove(nativePath(map));
    extract();
    expectMessage(L"Unable to find file:\n" + map);
    EXPECT_FALSE(fileExists(targa));
}

TEST_P(HostilePathTest, MalformedMapIsKept) {
    const Bytes malformed = concat({sample.bytes(), text("xyz")});
    writeFile(map, malformed);
    extract();
    expectMessage(L"Unable to read file");
    EXPECT_EQ(readFile(map), malformed);
    EXPECT_FALSE(fileExists(targa));
}

TEST_P(HostilePathTest, MapThatIsAFolder) {
    std::filesystem::remove(nativePath(map));
    std::filesystem::create_directory(nativePath(map));
    extract();
    expectMessage(L"Unable to open file:\n" + map);
    EXPECT_FALSE(fileExists(targa));
}

TEST_P(HostilePathTest, ReadOnlyMapIsKeptAndStaysReadOnly) {
    setReadOnly(map, true);
    extract();
    expectMessage(L"Unable to open file:\n" + map);
    EXPECT_EQ(readFile(map), sample.bytes());
    EXPECT_TRUE(isReadOnly(map));
    EXPECT_EQ(readFile(targa), sample.preview) << "the preview is saved before the rewrite";
    setReadOnly(map, false);
}

TEST_P(HostilePathTest, TargaFolderMissing) {
    targa = withExtension(map, L"") + SEPARATOR + L"missing" + SEPARATOR + L"preview.tga";
    extract();
    expectMessage(L"Unable to find file:\n" + targa);
    EXPECT_EQ(readFile(map), sample.bytes());
}

TEST_P(HostilePathTest, TargaFolderIsAFile) {
    targa = map + SEPARATOR + L"preview.tga";
    extract();
    expectMessage(L"Unable to find file:\n" + targa);
    EXPECT_EQ(readFile(map), sample.bytes());
}

#ifdef _WIN32
// Another program holds the map: with no sharing at all the map cannot even be read;
// open for writing with reading shared, it is read, but not replaced.
TEST_P(HostilePathTest, MapLockedByAnotherHandleIsKept) {
    for (const DWORD share : {DWORD(0), DWORD(FILE_SHARE_READ)}) {
        shown.clear();
        HANDLE lock = CreateFileW(nativePath(map).wstring().c_str(), GENERIC_READ | GENERIC_WRITE,
                                  share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        extract();
        CloseHandle(lock);
        expectMessage(L"Unable to open file:\n" + map);
        EXPECT_EQ(readFile(map), sample.bytes()) << "share mode " << share;
        EXPECT_EQ(fileExists(targa), share != 0) << "share mode " << share;
    }
}
#endif

INSTANTIATE_TEST_SUITE_P(
    Paths, HostilePathTest,
    ::testing::Values(
        PathShape{"NonAsciiLetters",
                  [](const TempDir& d) { return d.file(L"Karte \u00c4 \u65e5\u672c.ted"); }},
        PathShape{"SpacesAndSeveralDots",
                  [](const TempDir& d) { return d.file(L" old map . v1.2 .final.ted"); }},
        // The longest path a 260-character buffer holds, and the first ones past it.
        PathShape{"Length259", [](const TempDir& d) { return pathOfLength(d, 259, L".ted"); }},
        PathShape{"Length260", [](const TempDir& d) { return pathOfLength(d, 260, L".ted"); }},
        PathShape{"Length300", [](const TempDir& d) { return pathOfLength(d, 300, L".ted"); }},
        // A folder so long that the temporary file beside the map is past the limit too.
        PathShape{"LongFolder",
                  [](const TempDir& d) { return pathOfLength(d, 290, L".ted", 24); }}),
    [](const ::testing::TestParamInfo<PathShape>& info) { return info.param.name; });

} // namespace
