// The built tedchunk on real files: what it prints, its exit code, every byte it leaves.
#include "run_program.h"
#include "string_table.h"
#include "test_support.h"
#include "text_ids.h"
#include "utf8.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <sstream>

#ifdef _WIN32
#include "native.h"

#include <windows.h>
#else
#include <cstdlib>
#include <sys/stat.h>
#endif

namespace {

const std::wstring AT_3 = L" (top-level position 3)\n"; // where the sample map's preview is

class TedchunkTest : public ::testing::Test {
protected:
    ProgramRun tedchunk(const std::vector<std::wstring>& arguments) {
        return runProgram(TEDCHUNK_PROGRAM, arguments);
    }
    std::wstring path(const std::wstring& name) { return dir.file(name); }
    std::wstring placeMap(const std::wstring& name, const Bytes& content) {
        writeFile(path(name), content);
        return path(name);
    }

    TempDir dir;
    const SampleMap sample = sampleMap();
    const std::wstring noPreview = L"The map does not contain a preview image.\nNothing done.";
};

// Each map of a batch done or reported, once, even to a reader gone; a Targa file written once.
TEST_F(TedchunkTest, BatchReportsEachMap) {
    const std::wstring good = placeMap(L"a map.b c", sample.bytes()); // no extension: a space
    const std::wstring none = placeMap(L"none.ted", chunk(1, text("no preview here")));
    const Bytes broken = concat({chunk(19, text("TGA")), text("stray")});
    const std::wstring bad = placeMap(L"bad.ted", broken), missing = path(L"missing.ted");
    // The preview is the first top-level chunk of type 19 only if it holds data.
    const Bytes boxedFirst = concat({container(19, {chunk(1, text("a"))}), chunk(19, text("b"))});
    const std::wstring boxed = placeMap(L"boxed.ted", boxedFirst), fixed = path(L"ro.tga");
    const std::wstring readOnly = placeMap(L"ro.ted", sample.bytes()),
                       alike = placeMap(L"ro", broken);
    std::filesystem::create_hard_link(nativePath(readOnly), nativePath(path(L"link.ted")));
    setReadOnly(readOnly, true);
    ProgramRun run = tedchunk({L"extract", L"--force", good, none, bad, missing, boxed, readOnly,
                               alike, path(L"link.ted")});
    setReadOnly(readOnly, false);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, good + L": preview saved to " + path(L"a map.b c.tga") +
                           L", removed from the map" + AT_3);
    EXPECT_EQ(run.err, none + L": " + noPreview + L"\n" + bad + L": Unable to read file\n" +
                           missing + L": Unable to find file:\n" + missing + L"\n" + boxed + L": " +
                           noPreview + L"\n" + readOnly + L": Unable to open file:\n" + readOnly +
                           L"\n" + alike +
                           L": The preview file was already written for another map:\n" + fixed +
                           L"\n" + path(L"link.ted") +
                           L": The map was given more than once; its preview was saved to:\n" +
                           fixed + L"\n");
    EXPECT_EQ(readFile(readOnly), sample.bytes());
    EXPECT_EQ(readFile(fixed), sample.preview);
    EXPECT_EQ(dir.names().size(), 9u); // and no other file
#ifndef _WIN32
    setenv("LANG", "de_DE.UTF-8", 1); // the user's language, whatever the test's
#endif
    run = tedchunk({L"extract", none});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_EQ(run.err, loadResourceString(IDS_NO_PREVIEW) + L"\n") << "one map: no prefix";
#ifndef _WIN32
    setenv("LANG", "en_US.UTF-8", 1);
    EXPECT_NE(run.err, noPreview + L"\n");
    EXPECT_EQ(runProgram(L"/usr/bin/env", {L"-i", TEDCHUNK_PROGRAM, L"extract", none}).err,
              noPreview + L"\n"); // no language asked for: English
    // A reader that has gone (`... 2>&1 | head -1`) does not end the batch.
    EXPECT_EQ(runProgram(L"/bin/bash", {L"-c", L"exec > >(true) 2>&1; wait $!; exec \"$0\" \"$@\"",
                                        TEDCHUNK_PROGRAM, L"extract", L"--force", none, readOnly})
                  .exitCode,
              3);
    EXPECT_EQ(readFile(readOnly), sample.withoutPreview());
#endif
}

#ifndef _WIN32
ProgramRun shell(const std::wstring& script, const std::wstring& argument = L"") {
    return runProgram(L"/bin/sh", {L"-c", script, L"sh", argument});
}
#endif

// Only --force overwrites a Targa file; --keep leaves the map as it is; -o names the file.
TEST_F(TedchunkTest, ExistingTargaFileNeedsForceAndKeepLeavesTheMap) {
    const std::wstring map = placeMap(L"alpha.v2.ted", sample.bytes());
    const std::wstring targa = path(L"alpha.v2.tga"), other = path(L"bild.tga");
    writeFile(targa, text("older preview"));
    EXPECT_EQ(tedchunk({L"extract", map}).err,
              L"The preview file already exists:\n" + targa + L"\n");
    EXPECT_EQ(readFile(targa), text("older preview"));
    EXPECT_EQ(tedchunk({L"extract", L"--keep", L"--output", other, map}).out,
              map + L": preview saved to " + other + L", map unchanged" + AT_3);
    // The map itself, however spelt, is no Targa file.
    std::filesystem::create_directory(nativePath(path(L"sub")));
    std::filesystem::create_hard_link(nativePath(map), nativePath(path(L"link.ted")));
    for (const std::wstring& spelling :
         {path(L"sub") + SEPARATOR + L".." + SEPARATOR + L"alpha.v2.ted", path(L"link.ted")})
        EXPECT_EQ(tedchunk({L"extract", L"-o", spelling, map}).err,
                  L"The preview file must not be the map file itself.\n");
    EXPECT_EQ(readFile(map), sample.bytes());
#ifndef _WIN32
    std::filesystem::create_hard_link(nativePath(targa), nativePath(path(L"same.tga")));
    EXPECT_EQ(tedchunk({L"extract", L"--keep", L"--force", map}).exitCode, 0); // in place
    EXPECT_EQ(readFile(path(L"same.tga")), sample.preview);
    // A link, even a dangling one, is a file; --force writes where it points. A loop: refused.
    const std::wstring link = path(L"link.tga"), loop = path(L"loop.tga");
    std::filesystem::create_symlink("loop.tga", nativePath(loop));
    EXPECT_EQ(tedchunk({L"extract", L"--force", L"-o", loop, map}).err,
              L"Unable to open file:\n" + loop + L"\n");
    std::filesystem::create_symlink("picture.tga", nativePath(link));
    EXPECT_EQ(tedchunk({L"extract", L"-o", link, map}).err,
              L"The preview file already exists:\n" + link + L"\n");
    EXPECT_EQ(tedchunk({L"extract", L"--force", L"-o", link, map}).exitCode, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(nativePath(link)));
    EXPECT_EQ(readFile(path(L"picture.tga")), sample.preview);
#endif
}

// Each top-level type-19 data chunk's line says what its picture is.
TEST_F(TedchunkTest, ListShowsTheTreeAndCheckChangesNothing) {
    const Bytes content =
        concat({chunk(1, text("ab")), container(2, {chunk(19, text("xyz")), container(4, {})}),
                chunk(19, text("TGA"))});
    const std::wstring map = placeMap(L"-m.ted", content);
    placeMap(L"bad.ted", concat({content, text("x")}));
    EXPECT_EQ(tedchunk({L"list", map}).out,
              L"1 data 2 bytes at 0\n"
              L"2 container 19 bytes at 10\n"
              L"  19 data 3 bytes at 18\n"
              L"  4 container 0 bytes at 29\n"
              L"19 data 3 bytes at 37: not a complete Targa image (shorter than the 18-byte "
              L"header)\n");
    // After "--" every argument is a map, here in the current folder.
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const ProgramRun run = tedchunk({L"check", L"--", L"-m.ted", L"bad.ted", L"--help"});
    std::filesystem::current_path(before);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, L"-m.ted: well-formed, 5 chunks\n");
    EXPECT_EQ(run.err, L"bad.ted: Unable to read file\n--help: Unable to find file:\n--help\n");
    EXPECT_EQ(readFile(map), content);
}

TEST_F(TedchunkTest, WrongCommandLinesChangeNothing) {
    const std::wstring a = placeMap(L"a.ted", sample.bytes()),
                       b = placeMap(L"b.ted", sample.bytes());
    // Words of each command line; A and B stand for the maps, X for a Targa file.
    for (const wchar_t* line :
         {L"", L"frobnicate", L"extract", L"extract -o X A B", L"extract A -o", L"check -m.ted",
          L"check --", L"list A B", L"insert --at -1 A B", L"insert --at x A B",
          L"insert --force --at 0 A B", L"insert A", L"extract -o X -o X A"}) {
        std::vector<std::wstring> arguments;
        std::wistringstream words(line);
        for (std::wstring w; words >> w;)
            arguments.push_back(w == L"A" ? a : w == L"B" ? b : w == L"X" ? path(L"x.tga") : w);
        const ProgramRun run = tedchunk(arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_NE(run.err.find(L"Usage:"), std::wstring::npos);
        EXPECT_EQ(run.out, L"");
    }
    EXPECT_EQ(readFile(a), sample.bytes());
    EXPECT_EQ(dir.names().count("x.tga"), 0u);
    const std::wstring help = tedchunk({L"--help"}).out;
    EXPECT_NE(help.find(L"tedchunk extract [--keep] [--force] [-o OUT.tga]"), std::wstring::npos);
    for (const wchar_t* command : {L"extract", L"list", L"check", L"insert"}) {
        const ProgramRun run =
            tedchunk({command, a, command[0] == L'l' ? L"-h" : L"--help"}); // list -h
        EXPECT_EQ(run.out + std::to_wstring(run.exitCode), help + L"0") << command;
    }
    EXPECT_EQ(tedchunk({L"--version"}).out, L"tedchunk " TEDCHUNK_VERSION_TEXT L"\n");
}

// insert at the position extract names gives the map back; --force replaces in place.
TEST_F(TedchunkTest, InsertUndoesAnExtraction) {
    const std::wstring map = path(L"alpha.ted"), targa = path(L"alpha.tga");
    const Bytes other = tga(0, 0, 3, 0, 0, 1, 1, 8, {7}), emptyBox = rawHeader(19, 0x80000000u);
    const Bytes twoPreviews = concat({chunk(1, {}), chunk(19, other), chunk(19, text("TGA"))});
    // The map, what extract's line ends with, what insert's line adds, the map after both.
    const std::tuple<Bytes, std::wstring, std::wstring, Bytes> shapes[] = {
        {sample.bytes(), L"3", L"", sample.bytes()},
        {twoPreviews, L"1", L"; the former preview follows at top-level position 2", twoPreviews},
        {concat({chunk(19, other), emptyBox}), L"0",
         L"; the former preview follows at top-level position 1",
         concat({chunk(19, other), chunk(19, {})})},
        {concat({chunk(1, {}), chunk(19, text("TGA"))}),
         L"1; not a complete Targa image: shorter than the 18-byte header", L"",
         concat({chunk(1, {}), chunk(19, text("TGA"))})},
    };
    for (const auto& [given, extracted, inserted, after] : shapes) {
        writeFile(map, given);
        EXPECT_EQ(tedchunk({L"extract", L"--force", map}).out,
                  map + L": preview saved to " + targa +
                      L", removed from the map (top-level position " + extracted + L")\n");
        const std::wstring at = extracted.substr(0, 1);
        std::vector<std::wstring> insert{L"insert", L"--at", at, map, targa};
        if (at != extracted)
            insert.insert(insert.begin() + 1, L"--unchecked");
        EXPECT_EQ(tedchunk(insert).out, map + L": " + targa +
                                            L" inserted as the preview (top-level position " + at +
                                            L")" + inserted + L"\n");
        EXPECT_EQ(readFile(map), after);
    }
    writeFile(map, sample.bytes());
    writeFile(targa, other);
    EXPECT_EQ(tedchunk({L"insert", map, targa}).err, L"The map already has a preview.\n");
    EXPECT_EQ(tedchunk({L"insert", L"--at", L"4", map, targa}).err,
              L"The map already has a preview.\n");
    EXPECT_EQ(tedchunk({L"insert", L"--force", map, targa}).out,
              map + L": preview replaced by " + targa + AT_3);
    EXPECT_EQ(readFile(map), concat({sample.before, chunk(19, other), sample.after}));
    writeFile(map, sample.withoutPreview());
    EXPECT_EQ(tedchunk({L"insert", L"--force", map, targa}).exitCode, 0);
    EXPECT_EQ(readFile(map), concat({sample.withoutPreview(), chunk(19, other)}));
}

// Each refusal with its message, exit 1, the map unchanged and nothing left beside it.
TEST_F(TedchunkTest, InsertRefusesWhatExtractionWouldNotGiveBack) {
    const Bytes content = concat({chunk(1, text("a")), container(19, {chunk(2, {})})});
    const std::wstring map = placeMap(L"m.ted", content), picture = path(L"p.tga");
    const auto refusal = [&](const std::vector<std::wstring>& arguments) {
        const ProgramRun run = tedchunk(arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(readFile(map), content);
        EXPECT_EQ(dir.names(), (std::set<std::filesystem::path>{"m.ted", "p.tga"}));
        return run.err;
    };
    Bytes pastLastIndex = tga(0, 1, 1, 2, 24, 1, 1, 8, Bytes(7));
    pastLastIndex[3] = pastLastIndex[4] = 0xFF;
    const std::pair<Bytes, std::wstring> pictures[] = {
        {text("TGA"), L"shorter than the 18-byte header"},
        {tga(0, 2, 2, 0, 0, 1, 1, 24, Bytes(3)), L"colour-map type 2, not 0 or 1"},
        {tga(0, 0, 0, 0, 0, 1, 1, 8, {0}), L"image type 0, not 1, 2, 3, 9, 10 or 11"},
        {tga(0, 0, 12, 0, 0, 1, 1, 8, {0}), L"image type 12, not 1, 2, 3, 9, 10 or 11"},
        {tga(0, 0, 1, 0, 0, 1, 1, 8, {0}), L"a colour-mapped image without a colour map"},
        {tga(0, 1, 2, 0, 24, 1, 1, 24, Bytes(3)), L"a colour map without entries"},
        {tga(0, 1, 1, 1, 9, 1, 1, 8, Bytes(3)),
         L"colour-map entries of 9 bits, not 8, 15, 16, 24 or 32"},
        {pastLastIndex, L"a colour map from entry 65535 with 2 entries, past the last index 65535"},
        {tga(0, 0, 3, 0, 0, 0, 1, 8), L"width or height 0"},
        {tga(0, 1, 1, 1, 24, 1, 1, 15, Bytes(5)), L"pixels of 15 bits in a colour-mapped image"},
        {tga(0, 0, 2, 0, 0, 1, 1, 8, {0}), L"pixels of 8 bits in a true colour image"},
        {tga(0, 0, 3, 0, 0, 1, 1, 24, Bytes(3)), L"pixels of 24 bits in a grey image"},
        {tga(5, 0, 3, 0, 0, 1, 1, 8, text("abc")), L"the identification field is cut short"},
        {tga(2, 1, 1, 2, 24, 1, 1, 8, text("id")), L"the colour map is cut short"}, // none of it
        {tga(0, 0, 2, 0, 0, 2, 1, 24, Bytes(5)), L"the image data is cut short"},
        {tga(0, 0, 10, 0, 0, 2, 1, 24, {0x80, 1, 2, 3}), L"the run-length data is cut short"},
        {tga(0, 0, 10, 0, 0, 2, 1, 24, {0x81, 1, 2}), L"the run-length data is cut short"},
        {tga(0, 0, 11, 0, 0, 2, 1, 8, {0x82, 1}), L"a run-length packet runs past the last pixel"}};
    for (const auto& [bytes, reason] : pictures) {
        writeFile(picture, bytes);
        EXPECT_EQ(refusal({L"insert", L"--at", L"0", map, picture}),
                  L"The picture is not a complete Targa image (" + reason +
                      L"); to put back a preview as it was extracted, add --unchecked:\n" +
                      picture + L"\n");
    }
    std::filesystem::resize_file(nativePath(picture), 0x80000000u);
    EXPECT_EQ(refusal({L"insert", L"--unchecked", L"--at", L"0", map, picture}),
              L"The picture is larger than 2147483647 bytes, the largest chunk body:\n" + picture +
                  L"\n");
    Bytes good = tga(0, 1, 1, 1, 24, 1, 1, 8, Bytes(4)); // its colour map ends at the last index
    good[3] = good[4] = 0xFF;
    writeFile(picture, good);
    EXPECT_EQ(refusal({L"insert", L"--at", L"18446744073709551616", map, picture}),
              L"There is no top-level position 18446744073709551616 in this map; the highest is "
              L"2.\n");
    EXPECT_EQ(refusal({L"insert", map, picture}),
              L"At top-level position 2 the preview would follow the type-19 container at "
              L"position 1, and extraction would not find it.\n");
    EXPECT_EQ(tedchunk({L"insert", L"--at", L"1", map, picture}).exitCode, 0);
    EXPECT_EQ(readFile(map),
              concat({chunk(1, text("a")), chunk(19, good), container(19, {chunk(2, {})})}));
}

// A map's path of `length` characters in a new folder, its name `nameLength` of them.
std::wstring pathOfLength(const TempDir& dir, std::size_t length, std::size_t nameLength) {
    const std::wstring stem = L"Karte \u00c4 \u65e5\u672c ",
                       folder = dir.file(L"Ordner \u00c4.") +
                                std::wstring(length - dir.file(L"").size() - nameLength - 10,
                                             L'd'); // 10: "Ordner Ä.", "/"
    std::filesystem::create_directories(nativePath(folder));
    return folder + SEPARATOR + stem + std::wstring(nameLength - stem.size() - 7, L'x') +
           L".v1.ted";
}

// Paths up to and past 260 characters; the last's temporary file is past it too.
const std::function<std::wstring(const TempDir&)> SHAPES[] = {
    [](const TempDir& d) { return d.file(L" Karte \u00c4 \u65e5\u672c . v1.2 .final.ted"); },
    [](const TempDir& d) { return pathOfLength(d, 260, 110); },
    [](const TempDir& d) { return pathOfLength(d, 300, 130); },
    [](const TempDir& d) { return pathOfLength(d, 290, 24); },
};

// The names in the folder that holds `path`.
std::set<std::wstring> namesBeside(const std::wstring& path) {
    const std::wstring folder = path.substr(0, path.find_last_of(SEPARATOR));
    std::set<std::wstring> names;
#ifdef _WIN32
    // The library's folder iterator does not take extended-length paths.
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((nativePath(folder).wstring() + L"\\*").c_str(), &found);
    do {
        if (found.cFileName != std::wstring(L".") && found.cFileName != std::wstring(L".."))
            names.insert(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
#else
    for (const auto& entry : std::filesystem::directory_iterator(nativePath(folder)))
        names.insert(fromUtf8(entry.path().filename().string()));
#endif
    return names;
}

// On every shape: success, then each failure's message, the map and an old Targa file kept.
TEST_F(TedchunkTest, EveryOutcomeOnEveryPathShape) {
    for (const auto& shape : SHAPES) {
        const TempDir dir;
        const std::wstring map = shape(dir), stem = map.substr(0, map.size() - 4),
                           targa = stem + L".tga";
        SCOPED_TRACE(toUtf8(map));
        const auto expectFailure = [&](const std::wstring& targaPath, const std::wstring& message) {
            const ProgramRun run = tedchunk({L"extract", L"--force", L"-o", targaPath, map});
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_EQ(run.out + run.err, message + L"\n");
        };
        writeFile(map, sample.bytes());
        EXPECT_EQ(tedchunk({L"extract", map}).out,
                  map + L": preview saved to " + targa + L", removed from the map" + AT_3);
        EXPECT_EQ(readFile(targa), sample.preview);
        EXPECT_EQ(readFile(map), sample.withoutPreview());
        EXPECT_EQ(namesBeside(map).size(), 2u) << "the map and the Targa file alone";

        writeFile(map, sample.bytes());
        const std::wstring inMissingFolder = stem + SEPARATOR + L"missing" + SEPARATOR + L"p.tga";
        expectFailure(inMissingFolder, L"Unable to find file:\n" + inMissingFolder);
        expectFailure(map + SEPARATOR + L"p.tga",
                      L"Unable to find file:\n" + map + SEPARATOR + L"p.tga");
        expectFailure(map, L"The preview file must not be the map file itself.");
        writeFile(targa, text("kept"));
        setReadOnly(targa, true);
        expectFailure(targa, L"Unable to open file:\n" + targa);
        setReadOnly(targa, false);
        EXPECT_EQ(readFile(targa), text("kept"));
        // A read-only map is refused, even for root; the preview has been saved by then.
        setReadOnly(map, true);
        expectFailure(targa, L"Unable to open file:\n" + map);
        setReadOnly(map, false);
        EXPECT_EQ(readFile(targa), sample.preview);
#ifdef _WIN32
        // Held by another program (not shared, shared for reading, for all but deleting): refused
        // by the replace, not yet by the open, it is said with where the preview is.
        for (const DWORD share : {0, FILE_SHARE_READ, FILE_SHARE_READ | FILE_SHARE_WRITE}) {
            const FileHandle lock(CreateFileW(nativePath(map).c_str(), GENERIC_READ, share, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
            expectFailure(targa, share & FILE_SHARE_WRITE
                                     ? L"Another program holds the map, so it is unchanged; the "
                                       L"preview was saved to:\n" +
                                           targa
                                     : L"Unable to open file:\n" + map);
        }
        EXPECT_EQ(namesBeside(map).size(), 2u) << "the map and the Targa file alone";
#endif
#ifndef _WIN32
        // Only plain files: a FIFO is refused at once, never waited on.
        const std::wstring fifo = stem + L".fifo";
        ASSERT_EQ(mkfifo(nativePath(fifo).c_str(), 0600), 0);
        expectFailure(fifo, L"Unable to open file:\n" + fifo);
        EXPECT_EQ(tedchunk({L"check", fifo}).err, L"Unable to open file:\n" + fifo + L"\n");
#endif
        EXPECT_EQ(readFile(map), sample.bytes());

        const Bytes malformed = concat({sample.bytes(), text("xyz")});
        writeFile(map, malformed);
        expectFailure(targa, L"Unable to read file");
        const std::wstring folder = map.substr(0, map.find_last_of(SEPARATOR));
        expectFailure(folder, L"Unable to open file:\n" + folder); // before the map is read
        EXPECT_EQ(readFile(map), malformed);
        std::filesystem::remove(nativePath(map));
        expectFailure(targa, L"Unable to find file:\n" + map);
        std::filesystem::create_directory(nativePath(map));
        expectFailure(targa, L"Unable to open file:\n" + map);
    }
#ifndef _WIN32
    // No device (as root its own, never /dev/null), socket or unwritable folder takes a file.
    const std::wstring map = placeMap(L"m.ted", sample.bytes()), socketPath = path(L"s");
    const std::wstring device = geteuid() ? L"/dev/null" : path(L"null");
    ASSERT_EQ(shell(L"cd \"$1\" && { [ $(id -u) != 0 ] || mknod null c 1 3; } && python3 -c "
                    L"\"import socket; socket.socket(socket.AF_UNIX).bind('s')\"",
                    path(L""))
                  .exitCode,
              0);
    for (const std::wstring& special : {device, socketPath}) {
        EXPECT_EQ(tedchunk({L"check", special}).err, L"Unable to open file:\n" + special + L"\n");
        EXPECT_EQ(tedchunk({L"extract", L"--force", L"-o", special, map}).err,
                  L"Unable to open file:\n" + special + L"\n");
    }
    EXPECT_EQ(tedchunk({L"extract", L"-o", L"/sys/p.tga", map}).err,
              L"Unable to open file:\n/sys/p.tga\n");
    EXPECT_EQ(readFile(map), sample.bytes());
    EXPECT_EQ(dir.names().size(), geteuid() ? 2u : 3u);
#endif
}

#ifdef _WIN32
// Patterns match files as `dir` does, sorted; \\?\ and \\.\ paths are no patterns.
TEST_F(TedchunkTest, WildcardsNameTheFilesTheyMatch) {
    for (const wchar_t* name : {L"b.ted", L"A2.ted", L"a.ted", L"x.tedx", L"readme"})
        placeMap(name, sample.bytes());
    CreateDirectoryW(path(L"d.ted").c_str(), nullptr);
    const std::wstring folder = dir.path().wstring() + L"/", none = folder + L"none*.ted";
    std::vector<std::wstring> arguments{L"check"};
    for (const wchar_t* pattern : {L"*.ted", L"?.tedx", L"*.*", L"*.", L"a?.t*"})
        arguments.push_back(folder + pattern);
    std::wstring expected; // what each pattern matches, in turn
    for (const wchar_t* name : {L"a.ted", L"A2.ted", L"b.ted", L"x.tedx", L"a.ted", L"A2.ted",
                                L"b.ted", L"readme", L"x.tedx", L"readme", L"a.ted", L"A2.ted"})
        expected += folder + name + L": well-formed, 12 chunks\n";
    for (const wchar_t* prefix : {L"\\\\?\\", L"\\\\.\\"}) {
        arguments.push_back(prefix +
                            std::filesystem::path(dir.path() / "a.ted").make_preferred().wstring());
        expected += arguments.back() + L": well-formed, 12 chunks\n";
    }
    arguments.push_back(none);
    const ProgramRun run = tedchunk(arguments);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, expected);
    EXPECT_EQ(run.err, none + L": Unable to find file:\n" + none + L"\n");
    // Where one file is expected, a pattern is the one file it matches, or a wrong command line.
    EXPECT_EQ(tedchunk({L"list", folder + L"b*"}).out.find(L"1 data"), 0u);
    EXPECT_EQ(tedchunk({L"insert", folder + L"*.ted", folder + L"b.ted"})
                  .err.find(L"tedchunk: insert takes a map and a picture; " + folder +
                            L"*.ted matches 3 files\nUsage:"),
              0u);
}

// A map given by its short name, or in other letters, keeps its name on disk and the
// attributes Explorer shows; the preview is named after that name.
TEST_F(TedchunkTest, MapKeepsItsNameOnDiskAndItsAttributes) {
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const std::wstring name = L"K\u00e4rtchen \u00df lange Karte";
    const std::wstring map = placeMap(name + L".ted", sample.bytes());
    SetFileAttributesW(map.c_str(), kept);
    const DWORD before = GetFileAttributesW(map.c_str()) & kept; // what Wine keeps of them
    ASSERT_TRUE(before & FILE_ATTRIBUTE_HIDDEN && before & FILE_ATTRIBUTE_SYSTEM);
    std::wstring shortName(MAX_PATH, L'\0');
    shortName.resize(GetShortPathNameW(map.c_str(), shortName.data(), MAX_PATH));
    ASSERT_NE(shortName, map);
    placeMap(L"a.ted", sample.bytes());
    for (const std::wstring& spelling : {shortName, path(L"A.TED")})
        EXPECT_EQ(tedchunk({L"extract", spelling}).exitCode, 0) << toUtf8(spelling);
    EXPECT_EQ(dir.names(), (std::set<std::filesystem::path>{name + L".ted", name + L".tga",
                                                            L"a.ted", L"a.tga"}));
    EXPECT_EQ(GetFileAttributesW(map.c_str()) & kept, before);
    EXPECT_EQ(readFile(map), sample.withoutPreview());
}
#else
// A name is its bytes, shown with control characters and bytes outside UTF-8 as `ls -b` does.
TEST_F(TedchunkTest, NamesAreTheBytesGiven) {
    const std::wstring named =
        placeMap(L"n\xDC80\xDCFF\n\t\r\x1b\x7f\u0080\u009f.ted", sample.bytes());
    placeMap(L"n\uFFFD.ted", sample.bytes()); // what a decoder might take it for
    std::filesystem::create_directory(nativePath(path(L"sub")));
    placeMap(L"sub/m.ted", sample.bytes()); // what an overlong "/" would name
    const std::wstring overlongSlash = path(L"sub\xDCC0\xDCAFm.ted\x01");
    const std::wstring shown = path(L"n\\200\\377\\n\\t\\r\\033\\177\\302\\200\\302\\237"),
                       shownMissing = path(L"sub\\300\\257m.ted\\001");
    ProgramRun run = tedchunk({L"extract", named, overlongSlash});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out,
              shown + L".ted: preview saved to " + shown + L".tga, removed from the map" + AT_3);
    EXPECT_EQ(run.err, shownMissing + L": Unable to find file:\n" + shownMissing + L"\n");
    EXPECT_EQ(readFile(named), sample.withoutPreview());
    run = tedchunk({L"check", L"-\n"});
    EXPECT_EQ(run.err.find(L"tedchunk: unknown option -\\n\nUsage:"), 0u);
}

// Memory limits end with a sentence, not a kill; a large junk picture is refused unread.
TEST_F(TedchunkTest, CgroupAndAddressSpaceLimitsEndWithASentence) {
    const std::wstring map = placeMap(L"many.ted", Bytes(40'000'000, 0));
    const ProgramRun cgroup = runProgram(L"/bin/sh", {L"-c", LR"(
        g=/sys/fs/cgroup/mpe$$ f=memory.max v1=/sys/fs/cgroup/memory
        [ -e $v1/cgroup.procs ] && g=$v1$(sed -n 's/^[0-9]*:memory://p' /proc/self/cgroup)/mpe$$ \
            f=memory.limit_in_bytes
        mkdir $g 2>/dev/null || exit 77
        if echo 52428800 >$g/$f; then
            sh -c 'echo $$ >$0/cgroup.procs && exec "$@"' $g "$@"; code=$?
        else code=77; fi; rmdir $g; exit $code)",
                                                      L"sh", TEDCHUNK_PROGRAM, L"check", map});
    const ProgramRun addressSpace =
        runProgram(L"/usr/bin/prlimit", {L"--as=200000000", TEDCHUNK_PROGRAM, L"check", map});
    const std::wregex sentence(L"Not enough memory to hold the map: it needs more than the [0-9]+ "
                               L"MiB that are available\\.\n");
    for (const ProgramRun& run : {cgroup, addressSpace}) {
        if (run.exitCode == 77)
            continue; // no memory cgroup here (needs root and a memory controller, v1 or v2)
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(std::regex_match(run.err, sentence)) << toUtf8(run.err);
    }
    EXPECT_EQ(readFile(map), Bytes(40'000'000, 0));
    // 2 GiB - 1 bytes of junk are refused by their header: read whole, they would not fit.
    const std::wstring junk = path(L"junk.tga");
    writeFile(junk, {});
    std::filesystem::resize_file(nativePath(junk), 0x7FFFFFFFu);
    EXPECT_EQ(runProgram(L"/usr/bin/prlimit", {L"--as=500000000", TEDCHUNK_PROGRAM, L"insert",
                                               placeMap(L"m.ted", {}), junk})
                  .err,
              L"The picture is not a complete Targa image (image type 0, not 1, 2, 3, 9, 10 or "
              L"11); to put back a preview as it was extracted, add --unchecked:\n" +
                  junk + L"\n");
}

// Pictures other programs write go in by insert (each first: listed in reverse) as described.
TEST_F(TedchunkTest, PicturesFromOtherWritersAreAccepted) {
    const std::pair<const wchar_t*, const wchar_t*> writers[] = {
        {L"im TrueColor None", L"24 bits, true colour, uncompressed"},
        {L"im TrueColorAlpha RLE", L"32 bits, true colour, run-length"},
        {L"im Palette None", L"8 bits, colour-mapped, uncompressed"},
        {L"im Palette RLE", L"8 bits, colour-mapped, run-length"},
        {L"im Grayscale None", L"8 bits, grey, uncompressed"},
        {L"im Bilevel RLE", L"8 bits, grey, run-length"},
        {L"pamtotga p.ppm", L"8 bits, colour-mapped, run-length"},
        {L"pamtotga -cmap16 p.ppm", L"8 bits, colour-mapped, run-length"}, // 15-bit entries
        {L"pamtotga -cmap g.pgm", L"8 bits, colour-mapped, run-length"},   // 8-bit entries
        {L"pamtotga -mono -norle p.ppm", L"8 bits, grey, uncompressed"},
        {L"pamtotga -rgb p.ppm", L"24 bits, true colour, run-length"},
        {L"pil LA", L"16 bits, grey, uncompressed"},
        {L"pil RGBA", L"32 bits, true colour, uncompressed"},
    };
    std::wstring script = L"cd \"$1\" && convert -size 5x3 gradient:red-blue p.ppm && ppmtopgm "
                          L"p.ppm >g.pgm && : >m.ted && im() { convert p.ppm -type $1 -compress "
                          L"$2 tga:-; } && pil() { /usr/bin/python3 -c 'import sys; from PIL "
                          L"import Image; Image.open(\"p.ppm\").convert(sys.argv[1]).save(sys."
                          L"stdout.buffer, \"TGA\", compression=(sys.argv[2:] or [None])[0])' "
                          L"\"$@\"; }";
    for (const auto& writer : writers)
        script +=
            L" && " + std::wstring(writer.first) + L" >p.tga && \"$0\" insert --at 0 m.ted p.tga";
    const ProgramRun made =
        runProgram(L"/bin/sh", {L"-c", script, TEDCHUNK_PROGRAM, dir.path().wstring()});
    ASSERT_EQ(made.exitCode, 0) << toUtf8(made.err);
    std::wistringstream lines(tedchunk({L"list", path(L"m.ted")}).out);
    for (auto writer = std::rbegin(writers); writer != std::rend(writers); ++writer) {
        std::wstring line;
        std::getline(lines, line);
        EXPECT_EQ(line.substr(line.find(L": ")), L": Targa 5 x 3, " + std::wstring(writer->second))
            << writer->first;
    }
}

struct IdentityCase {
    const wchar_t* user; // none: whoever runs the test; $MEMBER shares $PROJ with $OWNER
    bool inPlace;        // else replaced by a new file, the only way that is atomic
    const wchar_t *map, *targa;
    const wchar_t* setUp; // a shell script run in the test's folder, with m.ted in it
};

const IdentityCase IDENTITY_CASES[] = {
    // What any user may give their own map, and not the ACL a new file takes from the folder.
    {nullptr, false, L"m.ted", L"m.tga",
     L"setfacl -d -m u:nobody:rw,o::- . && setfattr -n user.a -v b m.ted && "
     L"setfattr -n user.empty m.ted && chmod 640 m.ted"},
    {nullptr, true, L"m.ted", L"m.tga", L"ln m.ted l.ted && chmod 640 m.ted"},
    // Two links through 24 folders of 200 letters: longer than PATH_MAX together; an ACL kept.
    {nullptr, false, L"m.lnk", L"m.tga",
     L"setfacl -m u:nobody:r m.ted && d=$(printf %0200d 0); p=$d; for i in 1 2 3 4 5 6 7 8 9 10 "
     L"11; do p=$p/$d; done; "
     L"mkdir -p long/$p/$p && ln -s long/$p/next m.lnk && cd long/$p && "
     L"ln -s $p/real.ted next && mv \"$1/m.ted\" $p/real.ted"},
    // Flags and set-id bits kept; a write takes away security.capability, also from root's.
    {L"root", false, L"m.ted", L"m.tga",
     L"chmod 6755 m.ted && setcap cap_net_raw+ep m.ted && chattr +d +A m.ted"},
    {L"root", true, L"m.ted", L"m.tga",
     L"ln m.ted l.ted && chmod 6755 m.ted && setcap cap_net_raw+ep m.ted && chattr +d m.ted"},
    // The owner's set-id bits, which the kernel clears when anybody but root writes.
    {L"$OWNER", false, L"s/m.ted", L"s/m.tga",
     L"mkdir s && chown $OWNER s && chown $OWNER:$PROJ m.ted && chmod 6750 m.ted && "
     L"mv m.ted s"},
    {L"$OWNER", true, L"s/m.ted", L"s/m.tga",
     L"mkdir s && chown $OWNER s && chown $OWNER:$PROJ m.ted && chmod 6750 m.ted && "
     L"mv m.ted s && ln s/m.ted s/l.ted"},
    // The owner's map in a shared group folder, rewritten by another member of the group.
    {L"$MEMBER", true, L"s/m.ted", L"s/m.tga",
     L"mkdir s && chgrp $PROJ s && chmod 2770 s && chown $OWNER:$PROJ m.ted && "
     L"chmod 660 m.ted && mv m.ted s"},
    // A folder that takes no new file: the copy goes to the temporary folder.
    {L"$MEMBER", true, L"s/m.ted", L"t/m.tga",
     L"mkdir -m 755 s t && chown $MEMBER m.ted t && mv m.ted s"},
};

// Users of this process alone, removed however the test ends, and a program they may run.
class TestUsers {
public:
    TestUsers() {
        for (const char* role : {"OWNER", "MEMBER", "PROJ"})
            setenv(role, ("mpe-" + std::string(1, role[0]) + std::to_string(getpid())).c_str(), 1);
        std::filesystem::copy_file(nativePath(TEDCHUNK_PROGRAM), nativePath(program));
        made = shell(L"for i in 1 2 3 4 5; do { getent group $PROJ || groupadd $PROJ; } && "
                     L"for u in $OWNER $MEMBER; do id $u || useradd -M -N -G $PROJ $u; "
                     L"done && exit; sleep 1; done; exit 1")
                   .exitCode == 0;
    }
    ~TestUsers() { shell(L"userdel $OWNER; userdel $MEMBER; groupdel $PROJ"); }
    TestUsers(const TestUsers&) = delete;
    TestUsers& operator=(const TestUsers&) = delete;
    const TempDir place;
    const std::wstring program = place.file(L"tedchunk");
    bool made;
};

// `user`: a name, or $ and the variable that holds it.
ProgramRun runAs(const wchar_t* user, std::vector<std::wstring> command) {
    if (!user)
        return runProgram(command[0], {command.begin() + 1, command.end()});
    const std::string name = user[0] == L'$' ? std::getenv(toUtf8(user + 1).c_str()) : toUtf8(user);
    command.insert(command.begin(),
                   {L"--reuid=" + fromUtf8(name), L"--regid=users", L"--init-groups"});
    return runProgram(L"/usr/bin/setpriv", command);
}

// The map stays the same file to all who use it; a new Targa file gets what `touch` gives.
TEST(MapIdentityTest, RewrittenMapStaysTheSameFile) {
    std::optional<TestUsers> users;
    if (geteuid() == 0) {
        ASSERT_TRUE(users.emplace().made);
    }
    const SampleMap sample = sampleMap();
    for (const IdentityCase& c : IDENTITY_CASES) {
        if (c.user && !users)
            continue;
        const TempDir dir;
        const std::wstring map = dir.file(c.map);
        SCOPED_TRACE(toUtf8(c.setUp));
        const auto identity = [&] { // last, which file it is
            return shell(L"stat -c %F \"$1\"; stat -L -c '%u %g %a %h' \"$1\"; getfacl -n \"$1\"; "
                         L"getfattr -d -m - \"$1\"; lsattr \"$(readlink -f \"$1\")\"; "
                         L"stat -L -c 'file %i' \"$1\"",
                         map)
                .out;
        };
        writeFile(dir.file(L"m.ted"), sample.bytes());
        ASSERT_EQ(
            shell(L"cd \"$1\" && chmod 755 . && " + std::wstring(c.setUp), dir.file(L"")).exitCode,
            0);
        const std::wstring before = identity();
        // The temporary folder in the test's folder, where a copy left behind shows.
        const ProgramRun run = runAs(c.user, {L"/usr/bin/env", L"TMPDIR=" + dir.file(L"t"),
                                              c.user ? users->program : TEDCHUNK_PROGRAM,
                                              L"extract", L"-o", dir.file(c.targa), map});
        EXPECT_EQ(run.exitCode, 0) << toUtf8(run.err);
        EXPECT_EQ(readFile(map), sample.withoutPreview());
        const std::wstring after = identity();
        EXPECT_EQ(after.substr(0, after.rfind(L' ')), before.substr(0, before.rfind(L' ')));
        EXPECT_EQ(after == before, c.inPlace) << "rewritten in place, not replaced";
        EXPECT_EQ(shell(L"find \"$1\" -name '~mp*' -o -name '*.original'", dir.file(L"")).out, L"");
        EXPECT_EQ(shell(L"cd \"${1%/*}\" && touch t && a=$(getfacl -c \"$1\") && "
                        L"[ \"$a\" = \"$(getfacl -c t)\" ]; e=$?; rm t; exit $e",
                        dir.file(c.targa))
                      .exitCode,
                  0);
    }
}

// A file-size limit is a failed write; a failed rewrite in place names its copy, as the map was.
TEST_F(TedchunkTest, FileSizeLimitIsAFailedWrite) {
    const std::wstring map = placeMap(L"m.ted", sample.bytes()), targa = path(L"m.tga");
    const std::wstring original = map + L".original", picture = placeMap(L"p.tga", sample.preview);
    writeFile(targa, text("older preview"));
    const auto limited = [&](std::size_t limit, std::vector<std::wstring> arguments,
                             const std::wstring& temporaryFolder = L"/tmp") {
        arguments.insert(arguments.begin(),
                         {L"TMPDIR=" + temporaryFolder, L"/usr/bin/prlimit",
                          L"--fsize=" + std::to_wstring(limit), TEDCHUNK_PROGRAM});
        return runProgram(L"/usr/bin/env", arguments).err;
    };
    EXPECT_EQ(limited(100, {L"extract", L"--force", map}), L"Unable to write file\n");
    EXPECT_EQ(readFile(targa), text("older preview"));
    std::filesystem::create_hard_link(nativePath(map), nativePath(path(L"l.ted")));
    EXPECT_EQ(limited(1000, {L"extract", L"--force", map}), L"Unable to write file\n");
    EXPECT_EQ(readFile(map), sample.bytes());
    EXPECT_EQ(dir.names(), (std::set<std::filesystem::path>{"m.ted", "l.ted", "m.tga", "p.tga"}));
    // A picture larger than the writer's window, written last and straight through.
    const std::wstring bare = placeMap(L"bare.ted", sample.withoutPreview()),
                       large = placeMap(L"large.tga",
                                        tga(0, 0, 3, 0, 0, 1024, 1024, 8, Bytes(1 << 20)));
    EXPECT_EQ(limited(sample.bytes().size(), {L"insert", L"--at", L"5", bare, large}),
              L"Unable to write file\n");
    EXPECT_EQ(readFile(bare), sample.withoutPreview());
    const std::wstring said = L"Unable to write file\nThe file is now incomplete. A copy of it as "
                              L"it was before is saved as:\n";
    if (geteuid() == 0) { // a member of the map's group: the copy is the group's; the owner's
        // map, read-only to the member in a folder the member may write, is not replaced
        const TestUsers users;
        ASSERT_TRUE(users.made);
        const std::wstring theirs = path(L"s/r.ted");
        ASSERT_EQ(shell(L"cd \"$1\" && chmod 755 . && mkdir -m 770 s && chgrp $PROJ s && cp m.ted "
                        L"s/r.ted && chmod 644 s/r.ted && chown $OWNER s/r.ted && chown "
                        L"$OWNER:$PROJ m.ted && chmod 660 m.ted && ln m.ted s/m.ted",
                        path(L""))
                      .exitCode,
                  0);
        EXPECT_EQ(runAs(L"$MEMBER",
                        {L"/usr/bin/prlimit", L"--fsize=" + std::to_wstring(sample.bytes().size()),
                         users.program, L"insert", L"--at", L"0", path(L"s/m.ted"), picture})
                      .err,
                  said + path(L"s/m.ted.original") + L"\n");
        const std::wstring groupAndMode = L"stat -c '%g %a' \"$1\"";
        EXPECT_EQ(shell(groupAndMode, path(L"s/m.ted.original")).out, shell(groupAndMode, map).out);
        EXPECT_EQ(runAs(L"$MEMBER", {users.program, L"extract", theirs}).err,
                  L"Unable to open file:\n" + theirs + L"\n");
        EXPECT_EQ(readFile(theirs), sample.bytes());
    }
    // Root's map in another group; the temporary folder t gives new files an ACL of its own.
    ASSERT_EQ(
        shell(L"cd \"$1\" && chmod 640 m.ted && { [ $(id -u) != 0 ] || chgrp users m.ted; } && "
              L"mkdir -m 1777 t && setfacl -d -m u:nobody:rw t",
              path(L""))
            .exitCode,
        0);
    const struct Unlocked {
        std::wstring folder;
        ~Unlocked() { shell(L"chattr -i \"$1\"; chmod 755 \"$1\"", folder); }
    } unlocked{path(L"")};
    // The copy fits, the larger map not: as NAME.original, a temporary name (the name taken, the
    // map with an ACL), in t (the map's folder takes no new file; root: immutable), or nowhere.
    const std::wstring copies[] = {original, path(L"~mp"), path(L"t/m.ted.original")};
    const wchar_t* const changes[] = {
        L":", L"printf theirs >m.ted.original && setfacl -m u:nobody:r m.ted",
        L"setfacl -b m.ted && chmod 555 . && { [ $(id -u) != 0 ] || chattr +i .; }", L":"};
    for (const int where : {0, 1, 2, 3}) {
        writeFile(map, sample.bytes());
        ASSERT_EQ(shell(L"cd \"$1\" && " + std::wstring(changes[where]), path(L"")).exitCode, 0);
        const std::wstring err =
            limited(sample.bytes().size(), {L"insert", L"--at", L"0", map, picture},
                    where == 3 ? path(L"") : path(L"t"));
        if (where == 3) {
            EXPECT_EQ(err, L"No copy of the file can be made before it is rewritten: neither its "
                           L"folder nor the temporary folder takes a new file. It is unchanged:\n" +
                               map + L"\n");
            EXPECT_EQ(readFile(map), sample.bytes());
            break;
        }
        ASSERT_EQ(err.substr(0, said.size()), said);
        const std::wstring copy = err.substr(said.size(), err.size() - said.size() - 1);
        EXPECT_EQ(where == 1 ? copy.substr(0, copies[1].size()) : copy, copies[where]);
        EXPECT_EQ(readFile(copy), sample.bytes());
        const std::wstring identity = L"stat -c '%u %g' \"$1\"; getfacl -c \"$1\"";
        EXPECT_EQ(shell(identity, copy).out, shell(identity, map).out);
        EXPECT_EQ(readFile(original), where ? text("theirs") : sample.bytes());
        EXPECT_EQ(tedchunk({L"extract", L"-o", targa, copy}).err, // also where no file is new
                  L"The preview file already exists:\n" + targa + L"\n");
    }
}

#endif

} // namespace
