// The whole extraction on real files. The first input byte sets a file-size limit
// (RLIMIT_FSIZE) so that the Targa or map writes fail at every possible point; the
// rest is the map. On success the new map and the saved preview account for every byte
// of the old map (empty containers aside); after any failure the map is byte-identical
// and no file but the saved Targa file is left behind. Any exception but the two a map
// may cause ends the run as a crash.
#include "fuzz_support.h"
#include "preview.h"
#include "reference_parse.h"
#include "wexception.h"

#include <csignal>
#include <sys/resource.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    static const TempDir scratch(ramFolder());
    static const std::wstring map = scratch.file(L"Karte \u00c4 \u65e5\u672c.v1.ted");
    static const std::wstring targa = scratch.file(L"preview.v1.tga");
    const Bytes old(data + 1, data + size);
    writeFile(map, old);
    const auto namesBefore = scratch.names();
    const ReferenceParse parse = parseReference(old.data(), old.size());
    const ReferenceChunk* preview = parse.wellFormed ? referencePreview(parse) : nullptr;

    // Step 0 leaves the limit alone; SIGXFSZ is ignored, as tedchunk ignores it.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    if (const unsigned step = data[0] >> 5) {
        const rlimit lowered{static_cast<rlim_t>(old.size() * (step - 1) / 6), original.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    bool extracted = false;
    try {
        extracted = runExtraction(targa, map) == PreviewResult::Extracted;
        if (!parse.wellFormed || extracted != (preview != nullptr))
            fail("the outcome does not match the map");
    } catch (const ReadException&) {
        if (parse.wellFormed)
            fail("a well-formed map was refused");
    } catch (const WriteException&) {
        if (!preview)
            fail("a write failed although there was nothing to write");
    }
    setrlimit(RLIMIT_FSIZE, &original);

    const Bytes mapAfter = readFile(map);
    if (extracted) {
        Bytes expected(parse.normalized.begin(), parse.normalized.begin() + preview->offset);
        expected.insert(expected.end(),
                        parse.normalized.begin() + preview->offset + preview->length,
                        parse.normalized.end());
        if (mapAfter != expected)
            fail("the rewritten map is not the old one without its preview");
        if (readFile(targa) != Bytes(old.begin() + preview->offset + 8,
                                     old.begin() + preview->offset + preview->length))
            fail("the Targa file is not the preview chunk's body");
    } else if (mapAfter != old) {
        fail("the map changed although the extraction did not succeed");
    }
    auto namesAfter = scratch.names();
    namesAfter.erase("preview.v1.tga");
    if (namesAfter != namesBefore)
        fail("the extraction left a file behind");
    std::remove(toUtf8(targa).c_str());
    return 0;
}
