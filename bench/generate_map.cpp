// Writes one of the benchmark's map shapes: big, typical, tiny or huge.
//
// The map is built in memory, headers patched as each chunk closes, and written with
// one call (huge: its large bodies are holes in the file, never in memory); the chunk
// layer is not used, so a fault there cannot hide in the maps it is measured on. The
// content is the same on every run.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::uint32_t CONTAINER_FLAG = 0x80000000u;
constexpr std::uint32_t PREVIEW_TYPE = 19;
constexpr std::size_t HEADER = 8;
constexpr std::size_t KiB = 1024;
constexpr std::size_t MiB = 1024 * KiB;

// xorshift64*: cheap, and fixed from run to run.
class Random {
public:
    std::uint64_t next() {
        state ^= state >> 12;
        state ^= state << 25;
        state ^= state >> 27;
        return state * 0x2545F4914F6CDD1Dull;
    }
    // Uniform in [0, 1).
    double unit() { return double(next() >> 11) / double(1ull << 53); }

private:
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
};

class MapBuilder {
public:
    explicit MapBuilder(std::size_t expected) { bytes.reserve(expected); }

    void begin(std::uint32_t type) {
        open.push_back(bytes.size());
        put32(type);
        put32(0);
    }
    void end() {
        const std::size_t header = open.back();
        open.pop_back();
        const std::uint32_t length = std::uint32_t(bytes.size() - header - HEADER);
        const bool hasChildren = lastClosedInside > header;
        patch32(header + 4, hasChildren ? (length | CONTAINER_FLAG) : length);
        lastClosedInside = header;
        ++count;
    }
    // A data chunk with `length` bytes of noise.
    void data(std::uint32_t type, std::size_t length) {
        begin(type);
        appendNoise(length);
        end();
    }
    // A data chunk holding an uncompressed 32-bit Targa image.
    void preview(int width, int height) {
        previewAt = bytes.size();
        begin(PREVIEW_TYPE);
        const std::uint8_t header[18] = {0,
                                         0,
                                         2,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         0,
                                         std::uint8_t(width),
                                         std::uint8_t(width >> 8),
                                         std::uint8_t(height),
                                         std::uint8_t(height >> 8),
                                         32,
                                         8};
        bytes.insert(bytes.end(), header, header + sizeof header);
        appendNoise(std::size_t(width) * height * 4);
        end();
        previewLength = bytes.size() - previewAt - HEADER;
    }

    std::size_t size() const { return bytes.size(); }
    // Where the preview chunk's header is, and the length of its body.
    std::size_t previewOffset() const { return previewAt; }
    std::size_t previewBody() const { return previewLength; }
    std::size_t chunks() const { return count; }
    const std::vector<std::uint8_t>& content() const { return bytes; }

private:
    void put32(std::uint32_t value) {
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(std::uint8_t(value >> shift));
    }
    void patch32(std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes[at + i] = std::uint8_t(value >> (8 * i));
    }
    void appendNoise(std::size_t length) {
        const std::size_t start = bytes.size();
        bytes.resize(start + length);
        std::size_t i = 0;
        for (; i + 8 <= length; i += 8) {
            const std::uint64_t word = noise.next();
            std::memcpy(&bytes[start + i], &word, 8);
        }
        for (; i < length; ++i)
            bytes[start + i] = std::uint8_t(noise.next());
    }

    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> open;
    // Header offset of the chunk closed last: inside the closing chunk when beyond its header.
    std::size_t lastClosedInside = 0;
    std::size_t count = 0;
    std::size_t previewAt = 0;
    std::size_t previewLength = 0;
    Random noise;
};

// 256 MiB: a 1 MiB preview among a few chunks of hundreds of MiB.
void big(MapBuilder& map) {
    const std::size_t total = 256 * MiB;
    map.data(1, 4 * KiB);
    map.preview(512, 512);
    map.data(2, 100 * MiB);
    map.begin(3);
    map.data(5, 64 * KiB);
    map.data(4, total - map.size() - HEADER);
    map.end();
}

// About 64 MiB in about 100,000 chunks: containers three levels deep, data at the fourth.
// Most bodies are small (8 to 256 bytes); one in twelve is anywhere from 8 bytes to 64 KiB.
void typical(MapBuilder& map) {
    const std::size_t total = 64 * MiB;
    const int fanOut = 10;
    map.data(1, 1 * KiB);
    map.preview(256, 256);
    // Draw the bodies first, then share them out evenly over the innermost containers.
    const std::size_t containers = fanOut + fanOut * fanOut + fanOut * fanOut * fanOut;
    std::size_t room = total - map.size() - containers * HEADER;
    std::vector<std::size_t> bodies;
    Random random;
    for (;;) {
        const double top = random.unit() < 1.0 / 12 ? 64.0 * KiB : 256.0;
        const auto body = std::size_t(8.0 * std::pow(top / 8.0, random.unit()));
        if (HEADER + body > room)
            break;
        bodies.push_back(body);
        room -= HEADER + body;
    }
    if (room >= 2 * HEADER)
        bodies.push_back(room - HEADER);
    const std::size_t innermost = fanOut * fanOut * fanOut;
    std::size_t next = 0;
    for (int a = 0; a < fanOut; ++a) {
        map.begin(100 + a);
        for (int b = 0; b < fanOut; ++b) {
            map.begin(200 + b);
            for (int c = 0; c < fanOut; ++c) {
                const std::size_t index = (std::size_t(a) * fanOut + b) * fanOut + c;
                const std::size_t last = bodies.size() * (index + 1) / innermost;
                map.begin(300 + c);
                for (; next < last; ++next)
                    map.data(400 + next % 16, bodies[next]);
                map.end();
            }
            map.end();
        }
        map.end();
    }
}

// 300,000 data chunks of 8 bytes in 300 containers, after a small preview.
void tiny(MapBuilder& map) {
    map.preview(64, 64);
    for (int c = 0; c < 300; ++c) {
        map.begin(10);
        for (int d = 0; d < 1000; ++d)
            map.data(11 + d % 4, 8);
        map.end();
    }
}

// 1 GiB and a little: a small preview and four data chunks of 256 MiB, their bodies holes.
// Returns the map's size, 0 when it could not be written.
std::size_t writeHuge(MapBuilder& map, std::FILE* out) {
    map.data(1, 4 * KiB);
    map.preview(128, 128);
    std::size_t size = map.size();
    bool written = std::fwrite(map.content().data(), 1, size, out) == size;
    const std::uint32_t body = 256 * MiB;
    for (std::uint32_t type = 50; type < 54; ++type) {
        const std::uint8_t header[HEADER] = {std::uint8_t(type),
                                             0,
                                             0,
                                             0,
                                             std::uint8_t(body),
                                             std::uint8_t(body >> 8),
                                             std::uint8_t(body >> 16),
                                             std::uint8_t(body >> 24)};
        written = written && std::fwrite(header, 1, HEADER, out) == HEADER &&
                  std::fseek(out, body, SEEK_CUR) == 0;
        size += HEADER + body;
    }
    written = written && std::fflush(out) == 0 && ftruncate(fileno(out), off_t(size)) == 0;
    return written ? size : 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "Usage: generate_map big|typical|tiny|huge OUT.ted\n");
        return 2;
    }
    const std::string shape = argv[1];
    MapBuilder map(shape == "big" ? 256 * MiB : 64 * MiB);
    if (shape == "big") {
        big(map);
    } else if (shape == "typical") {
        typical(map);
    } else if (shape == "tiny") {
        tiny(map);
    } else if (shape == "huge") {
        std::FILE* out = std::fopen(argv[2], "wb");
        const std::size_t size = out ? writeHuge(map, out) : 0;
        if (size == 0 || std::fclose(out) != 0) {
            std::perror(argv[2]);
            return 1;
        }
        std::printf("%zu bytes, %zu chunks, preview at %zu, %zu bytes\n", size, map.chunks() + 4,
                    map.previewOffset(), map.previewBody());
        return 0;
    } else {
        std::fprintf(stderr, "generate_map: unknown shape %s\n", shape.c_str());
        return 2;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out || std::fwrite(map.content().data(), 1, map.size(), out) != map.size() ||
        std::fclose(out) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    std::printf("%zu bytes, %zu chunks, preview at %zu, %zu bytes\n", map.size(), map.chunks(),
                map.previewOffset(), map.previewBody());
    return 0;
}
