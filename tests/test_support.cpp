#include "test_support.h"
#include "utf8.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>
#endif

Bytes le32(std::uint32_t value) {
    return {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
            std::uint8_t(value >> 24)};
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes rawHeader(std::uint32_t type, std::uint32_t sizeField) {
    return concat({le32(type), le32(sizeField)});
}

Bytes chunk(std::uint32_t type, const Bytes& body) {
    return concat({rawHeader(type, static_cast<std::uint32_t>(body.size())), body});
}

Bytes container(std::uint32_t type, std::initializer_list<Bytes> children) {
    const Bytes body = concat(children);
    return concat({rawHeader(type, 0x80000000u | static_cast<std::uint32_t>(body.size())), body});
}

Bytes tga(std::uint8_t idLength, std::uint8_t mapType, std::uint8_t imageType,
          std::uint16_t mapLength, std::uint8_t mapBits, std::uint16_t width, std::uint16_t height,
          std::uint8_t bits, const Bytes& rest) {
    return concat({{idLength, mapType, imageType, 0, 0, std::uint8_t(mapLength),
                    std::uint8_t(mapLength >> 8), mapBits, 0, 0, 0, 0},
                   le32(std::uint32_t(height) << 16 | width),
                   {bits, 0},
                   rest});
}

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    root = std::filesystem::temp_directory_path() /
           ("mpe-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(root);
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::set<std::filesystem::path> TempDir::names() const {
    std::set<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(root))
        found.insert(entry.path().filename());
    return found;
}

std::filesystem::path nativePath(const std::wstring& path) {
#ifdef _WIN32
    const bool drivePath = path.size() > 2 && path[1] == L':' && path[2] == L'\\';
    return std::filesystem::path(path.size() >= MAX_PATH && drivePath ? L"\\\\?\\" + path : path);
#else
    return std::filesystem::path(toUtf8(path));
#endif
}

void writeFile(const std::wstring& path, const Bytes& content) {
    std::ofstream out(nativePath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(content.data()),
              static_cast<std::streamsize>(content.size()));
    if (!out)
        throw std::runtime_error("cannot write test file " + toUtf8(path));
}

Bytes readFile(const std::wstring& path) {
    std::ifstream in(nativePath(path), std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read test file " + toUtf8(path));
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void setReadOnly(const std::wstring& path, bool readOnly) { // Windows: the read-only attribute
    using std::filesystem::perms;
    std::filesystem::permissions(
        nativePath(path), perms::owner_write | perms::group_write | perms::others_write,
        readOnly ? std::filesystem::perm_options::remove : std::filesystem::perm_options::add);
}

SampleMap sampleMap() {
    SampleMap map;
    map.preview = tga(9, 0, 3, 0, 0, 20, 30, 8,
                      concat({text("TGA image"), Bytes(600, 0x80), text("TRUEVISION-XFILE.")}));
    map.before = concat({chunk(1, text("MAP1")), chunk(2, le32(0x00400040)),
                         container(10, {chunk(11, text("Grassland")),
                                        container(12, {chunk(13, Bytes(300, 0x5A)),
                                                       chunk(19, text("not the preview"))})})});
    map.after = concat(
        {container(20, {chunk(21, Bytes(1024, 0x11)), chunk(22, {})}), chunk(30, text("end"))});
    return map;
}
