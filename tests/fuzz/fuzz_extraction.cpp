// The whole extraction on real files: the first input byte sets the circumstances,
// the rest is the map. Every outcome is predicted from a plain reading of the map and
// checked: on success the new map and the saved preview account for every byte of the
// old map (empty containers aside); after any failure the map is byte-identical.
//
// First byte:
//   bits 0-1  where the Targa file goes: beside the map, in a missing folder, below
//             the map (a file, not a folder), or onto an existing folder
//   bit 2     the map is read-only
//   bit 3     keep the map (save the preview only)
//   bit 4     batch mode: an existing Targa file is refused (one is put there first)
//   bits 5-7  a file-size limit (RLIMIT_FSIZE) for the extraction: none, or a
//             fraction of the map's size, so that writes fail at every point
#include "fuzz_support.h"
#include "preview.h"
#include "reference_parse.h"
#include "utf8.h"
#include "wexception.h"

#include <csignal>
#include <exception>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

enum class TargaPlace { Beside, MissingFolder, BelowTheMap, OntoAFolder };

struct Scenario {
    TargaPlace place;
    bool readOnlyMap;
    bool keepMap;
    bool refuseExisting;
    std::optional<rlim_t> sizeLimit;
};

Scenario scenarioOf(std::uint8_t byte, std::size_t mapSize) {
    Scenario s{static_cast<TargaPlace>(byte & 3), (byte & 4) != 0, (byte & 8) != 0,
               (byte & 16) != 0, std::nullopt};
    if (const unsigned step = byte >> 5; step > 0)
        s.sizeLimit = static_cast<rlim_t>(mapSize * (step - 1) / 6);
    return s;
}

enum class Outcome { Extracted, NoPreview, Failed };

struct Result {
    Outcome outcome = Outcome::Failed;
    std::string kind; // the exception class for failures
    std::wstring message;
    bool operator==(const Result& other) const {
        return outcome == other.outcome && kind == other.kind && message == other.message;
    }
};

Result failure(const char* kind, const std::wstring& message) {
    return {Outcome::Failed, kind, message};
}

std::string describe(const Result& r) {
    if (r.outcome != Outcome::Failed)
        return r.outcome == Outcome::Extracted ? "extracted" : "no preview";
    return r.kind + " \"" + narrow(r.message) + "\"";
}

// Lowers the file-size limit for its lifetime; writes past it fail with EFBIG. The
// signal that would end the process (and that libFuzzer catches) is ignored meanwhile.
class SizeLimit {
public:
    explicit SizeLimit(std::optional<rlim_t> limit) {
        getrlimit(RLIMIT_FSIZE, &original);
        if (limit) {
            previousHandler = std::signal(SIGXFSZ, SIG_IGN);
            rlimit lowered{*limit, original.rlim_max};
            setrlimit(RLIMIT_FSIZE, &lowered);
        }
    }
    ~SizeLimit() {
        setrlimit(RLIMIT_FSIZE, &original);
        if (previousHandler != SIG_ERR)
            std::signal(SIGXFSZ, previousHandler);
    }
    SizeLimit(const SizeLimit&) = delete;
    SizeLimit& operator=(const SizeLimit&) = delete;

private:
    rlimit original{};
    void (*previousHandler)(int) = SIG_ERR;
};

Result run(const std::wstring& targa, const std::wstring& map, const Scenario& s) {
    const SizeLimit limit(s.sizeLimit);
    try {
        const PreviewResult r =
            runExtraction(targa, map, s.keepMap ? MapChange::KeepMap : MapChange::RemovePreview,
                          s.refuseExisting ? ExistingTarga::Refuse : ExistingTarga::Overwrite);
        return {r == PreviewResult::Extracted ? Outcome::Extracted : Outcome::NoPreview, "", L""};
    } catch (const ReadException& e) {
        return failure("ReadException", e.message);
    } catch (const WriteException& e) {
        return failure("WriteException", e.message);
    } catch (const FileNotFoundException& e) {
        return failure("FileNotFoundException", e.message);
    } catch (const IOException& e) {
        return failure("IOException", e.message);
    } catch (const wexception& e) {
        return failure("wexception", e.message);
    } catch (const std::exception& e) {
        return failure("std::exception", fromUtf8(e.what()));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static const ScratchFolder scratch;
    static const std::wstring map = scratch.file(L"Karte \u00c4 \u65e5\u672c.v1.ted");
    const std::uint8_t* mapBytes = data + 1;
    const std::size_t mapSize = size - 1;
    const Scenario s = scenarioOf(data[0], mapSize);

    std::wstring targa;
    switch (s.place) {
    case TargaPlace::Beside:
        targa = scratch.file(L"preview.v1.tga");
        break;
    case TargaPlace::MissingFolder:
        targa = scratch.file(L"missing/preview.tga");
        break;
    case TargaPlace::BelowTheMap:
        targa = map + L"/preview.tga";
        break;
    case TargaPlace::OntoAFolder:
        targa = scratch.file(L"folder.tga");
        break;
    }
    const std::uint8_t oldTarga[] = {'o', 'l', 'd'};
    writeBytes(map, mapBytes, mapSize);
    if (s.place == TargaPlace::Beside && s.refuseExisting)
        writeBytes(targa, oldTarga, sizeof oldTarga);
    if (s.place == TargaPlace::OntoAFolder)
        mkdir(narrow(targa).c_str(), 0755);
    if (s.readOnlyMap)
        chmod(narrow(map).c_str(), 0444);

    // What must happen, from a plain reading of the map.
    const ReferenceParse parse = parseReference(mapBytes, mapSize);
    const ReferenceChunk* preview = parse.wellFormed ? referencePreview(parse) : nullptr;
    const std::size_t previewBody = preview ? preview->length - 8 : 0;
    const std::size_t newMapSize = preview ? mapSize - preview->length : mapSize;
    const bool targaExists =
        s.place == TargaPlace::OntoAFolder || (s.place == TargaPlace::Beside && s.refuseExisting);
    const bool refused = s.refuseExisting && targaExists;
    const bool targaOpens = s.place == TargaPlace::Beside;
    const bool previewSaved =
        preview && !refused && targaOpens && !(s.sizeLimit && previewBody > *s.sizeLimit);
    Result expected{Outcome::Extracted, "", L""};
    if (!parse.wellFormed)
        expected = failure("ReadException", L"Unable to read file");
    else if (!preview)
        expected = {Outcome::NoPreview, "", L""};
    else if (refused)
        expected = failure("wexception", L"The preview file already exists:\n" + targa);
    else if (s.place == TargaPlace::MissingFolder || s.place == TargaPlace::BelowTheMap)
        expected = failure("FileNotFoundException", L"Unable to find file:\n" + targa);
    else if (s.place == TargaPlace::OntoAFolder)
        expected = failure("IOException", L"Unable to open file:\n" + targa);
    else if (!previewSaved)
        expected = failure("WriteException", L"Unable to write file");
    else if (s.keepMap)
        expected = {Outcome::Extracted, "", L""};
    else if (s.readOnlyMap)
        expected = failure("IOException", L"Unable to open file:\n" + map);
    else if (s.sizeLimit && newMapSize > *s.sizeLimit)
        expected = failure("WriteException", L"Unable to write file");

    const std::set<std::string> namesBefore = scratch.names();
    const Result actual = run(targa, map, s);
    if (!(actual == expected))
        fail("expected " + describe(expected) + ", got " + describe(actual));

    const Bytes mapAfter = readBytes(map);
    if (actual.outcome == Outcome::Extracted && !s.keepMap) {
        Bytes expectedMap(parse.normalized.begin(), parse.normalized.begin() + preview->offset);
        expectedMap.insert(expectedMap.end(),
                           parse.normalized.begin() + preview->offset + preview->length,
                           parse.normalized.end());
        if (mapAfter != expectedMap)
            fail("the rewritten map is not the old one without its preview");
    } else if (mapAfter != Bytes(mapBytes, mapBytes + mapSize)) {
        fail("the map changed although nothing was to change it");
    }
    if (previewSaved) {
        const Bytes saved = readBytes(targa);
        if (saved !=
            Bytes(mapBytes + preview->offset + 8, mapBytes + preview->offset + preview->length))
            fail("the Targa file is not the preview chunk's body");
    } else if (!preview && s.place == TargaPlace::Beside && !s.refuseExisting &&
               pathExists(targa)) {
        fail("a Targa file was written without a preview to save");
    } else if (s.place == TargaPlace::Beside && s.refuseExisting &&
               readBytes(targa) != Bytes(oldTarga, oldTarga + sizeof oldTarga)) {
        fail("an existing Targa file was changed");
    }
    std::set<std::string> namesAfter = scratch.names();
    if (s.place == TargaPlace::Beside && !s.refuseExisting)
        namesAfter.erase("preview.v1.tga");
    if (namesAfter != namesBefore)
        fail("the extraction left a file behind");

    // Ready for the next input.
    chmod(narrow(map).c_str(), 0644);
    if (s.place == TargaPlace::Beside)
        std::remove(narrow(targa).c_str());
    if (s.place == TargaPlace::OntoAFolder)
        rmdir(narrow(targa).c_str());
    return 0;
}
