// Writes the fuzz targets' seed corpus: a realistic map, the edge cases of the format
// and one map for each way a stream can be malformed. The corpus is committed; run
// this after changing it: make_seeds tests/fuzz/corpus
#include "reference_parse.h"
#include "test_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

struct Seed {
    const char* name;
    Bytes map;
    bool wellFormed;
};

// `levels` chunks each inside the one before, the innermost a data chunk.
Bytes nested(int levels) {
    Bytes inner = chunk(7, text("bottom"));
    for (int level = 1; level < levels; ++level)
        inner = concat({rawHeader(6, 0x80000000u | std::uint32_t(inner.size())), inner});
    return inner;
}

std::vector<Seed> seeds() {
    const SampleMap sample = sampleMap();
    const Bytes preview = chunk(19, targaImage(2, 2));
    return {
        {"realistic.ted", sample.bytes(), true},
        {"empty.ted", {}, true},
        {"only-preview.ted", preview, true},
        {"two-previews.ted",
         concat({chunk(19, text("first")), chunk(5, {}), chunk(19, text("2nd"))}), true},
        {"preview-is-container.ted",
         concat({container(19, {chunk(1, text("a"))}), chunk(19, text("later"))}), true},
        {"preview-only-nested.ted", container(2, {chunk(19, text("deep"))}), true},
        {"empty-containers.ted",
         concat({rawHeader(3, 0x80000000u), container(4, {rawHeader(5, 0x80000000u)}), preview,
                 chunk(6, {})}),
         true},
        {"deepest-nesting.ted", concat({nested(255), preview}), true},
        {"too-deep.ted", concat({preview, nested(256)}), false},
        {"stray-bytes-at-end.ted", concat({sample.bytes(), text("xyz")}), false},
        {"truncated-header.ted", concat({preview, bytes({19, 0, 0, 0, 4, 0, 0})}), false},
        {"body-past-end.ted", concat({preview, rawHeader(8, 100), text("short")}), false},
        {"container-past-end.ted", concat({preview, rawHeader(8, 0x80000040u), chunk(1, {})}),
         false},
        {"child-past-container.ted",
         concat({rawHeader(9, 0x80000008u), rawHeader(1, 4), text("abcd"), preview}), false},
        {"stray-bytes-after-last-child.ted",
         concat({rawHeader(9, 0x8000000Bu), chunk(1, {}), text("abc"), preview}), false},
        {"reserved-type.ted", concat({preview, chunk(0xFFFFFFFFu, text("x"))}), false},
        {"largest-length.ted", concat({preview, rawHeader(8, 0x7FFFFFFFu), text("tiny")}), false},
    };
}

// The extraction target's first byte: the circumstances of the run.
const std::uint8_t CIRCUMSTANCES[] = {
    0x01, // Targa folder missing
    0x02, // Targa path below the map file
    0x03, // Targa path is a folder
    0x04, // read-only map
    0x08, // keep the map
    0x10, // an existing Targa file, refused
    0x60, // writes limited to a third of the map's size
    0xE0, // writes limited to the map's size
};

void save(const fs::path& path, const Bytes& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()), std::streamsize(content.size()));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds CORPUS_FOLDER\n");
        return 2;
    }
    const fs::path root = argv[1];
    fs::create_directories(root / "loader");
    fs::create_directories(root / "extraction");
    for (const Seed& seed : seeds()) {
        if (parseReference(seed.map.data(), seed.map.size()).wellFormed != seed.wellFormed) {
            std::fprintf(stderr, "seed %s is not what its name says\n", seed.name);
            return 1;
        }
        save(root / "loader" / seed.name, seed.map);
        // Here the map follows one byte of circumstances: a plain extraction.
        save(root / "extraction" / fs::path(seed.name).stem(), concat({bytes({0x00}), seed.map}));
    }
    const Bytes realistic = sampleMap().bytes();
    for (std::uint8_t circumstance : CIRCUMSTANCES) {
        char name[32];
        std::snprintf(name, sizeof name, "realistic-%02x", circumstance);
        save(root / "extraction" / name, concat({bytes({circumstance}), realistic}));
    }
    return 0;
}
