// Hostile map and Targa paths on the dialog's command: every outcome, good or bad,
// with the message it shows and the map keeping its content.
#include "message_box.h"
#include "path_shapes.h"
#include "preview.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

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

INSTANTIATE_TEST_SUITE_P(Paths, HostilePathTest, ::testing::ValuesIn(hostilePathShapes()),
                         [](const ::testing::TestParamInfo<PathShape>& info) {
                             return info.param.name;
                         });

} // namespace
