// Hostile map and Targa paths given to the built tedchunk, including paths longer
// than the dialog's buffers hold: the message it prints, its exit code and the map.
#include "path_shapes.h"
#include "run_program.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

class TedchunkHostilePathTest : public ::testing::TestWithParam<PathShape> {
protected:
    void SetUp() override {
        map = GetParam().mapIn(dir);
        targa = withExtension(map, L".tga");
        writeFile(map, sample.bytes());
    }

    // Runs `tedchunk extract -o TARGA MAP` and expects it to fail with `message`,
    // the map unchanged.
    void expectFailure(const std::wstring& message) {
        const ProgramRun run = runProgram(TEDCHUNK_PROGRAM, {L"extract", L"-o", targa, map});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.out, L"");
        EXPECT_EQ(run.err, message + L"\n");
    }

    TempDir dir;
    SampleMap sample = sampleMap();
    std::wstring map, targa;
};

TEST_P(TedchunkHostilePathTest, PreviewGoesBesideTheMap) {
    const ProgramRun run = runProgram(TEDCHUNK_PROGRAM, {L"extract", map});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, map + L": preview saved to " + targa + L", removed from the map\n");
    EXPECT_EQ(run.err, L"");
    EXPECT_EQ(readFile(targa), sample.preview);
    EXPECT_EQ(readFile(map), sample.withoutPreview());
    EXPECT_EQ(namesBeside(map), (std::set<std::wstring>{nameOf(map), nameOf(targa)}));
}

TEST_P(TedchunkHostilePathTest, TargaFolderMissingOrAFile) {
    targa = withExtension(map, L"") + SEPARATOR + L"missing" + SEPARATOR + L"preview.tga";
    expectFailure(L"Unable to find file:\n" + targa);
    targa = map + SEPARATOR + L"preview.tga";
    expectFailure(L"Unable to find file:\n" + targa);
    EXPECT_EQ(readFile(map), sample.bytes());
}

INSTANTIATE_TEST_SUITE_P(Paths, TedchunkHostilePathTest, ::testing::ValuesIn(hostilePathShapes()),
                         [](const ::testing::TestParamInfo<PathShape>& info) {
                             return info.param.name;
                         });

} // namespace
