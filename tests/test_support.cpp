#include "test_support.h"
#include "utf8.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

Bytes le32(std::uint32_t value) {
    return {std::uint8_t(value), std::uint8_t(value >> 8), std::uint8_t(value >> 16),
            std::uint8_t(value >> 24)};
}

Bytes bytes(std::initializer_list<int> values) {
    Bytes out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
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
    Bytes body = concat(children);
    return concat({rawHeader(type, 0x80000000u | static_cast<std::uint32_t>(body.size())), body});
}

TempDir::TempDir(const std::filesystem::path& base) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    root = base / ("mpe-test-" + std::to_string(getpid()) + "-" + std::to_string(stamp) + "-" +
                   std::to_string(counter++));
    std::filesystem::create_directories(root);
}

std::set<std::filesystem::path> TempDir::names() const {
    std::set<std::filesystem::path> found;
    for (const auto& entry : std::filesystem::directory_iterator(root))
        found.insert(entry.path().filename());
    return found;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

std::wstring TempDir::file(const std::wstring& name) const {
#ifdef _WIN32
    return root.wstring() + L"\\" + name;
#else
    return fromUtf8(root.string()) + L"/" + name;
#endif
}

std::filesystem::path nativePath(const std::wstring& path) {
#ifdef _WIN32
    const bool drivePath = path.size() > 2 && path[1] == L':' && path[2] == L'\\';
    if (path.size() >= MAX_PATH && drivePath)
        return std::filesystem::path(L"\\\\?\\" + path);
    return std::filesystem::path(path);
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

bool fileExists(const std::wstring& path) {
    std::error_code ignored;
    return std::filesystem::exists(nativePath(path), ignored);
}

void setReadOnly(const std::wstring& path, bool readOnly) {
#ifdef _WIN32
    const std::wstring native = nativePath(path).wstring();
    const DWORD attributes = GetFileAttributesW(native.c_str());
    const DWORD changed = readOnly ? attributes | FILE_ATTRIBUTE_READONLY
                                   : attributes & ~DWORD(FILE_ATTRIBUTE_READONLY);
    if (attributes == INVALID_FILE_ATTRIBUTES || !SetFileAttributesW(native.c_str(), changed))
        throw std::runtime_error("cannot change the read-only attribute of " + toUtf8(path));
#else
    const auto writeBits = std::filesystem::perms::owner_write |
                           std::filesystem::perms::group_write |
                           std::filesystem::perms::others_write;
    std::filesystem::permissions(nativePath(path), writeBits,
                                 readOnly ? std::filesystem::perm_options::remove
                                          : std::filesystem::perm_options::add);
#endif
}

bool isReadOnly(const std::wstring& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(nativePath(path).wstring().c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
#else
    return (std::filesystem::status(nativePath(path)).permissions() &
            std::filesystem::perms::owner_write) == std::filesystem::perms::none;
#endif
}

std::wstring pathOfLength(const TempDir& dir, std::size_t length, const std::wstring& extension,
                          std::size_t nameLength) {
    const std::wstring start = dir.file(L"");
    const std::wstring folderStem = L"Ordner \u00c4.";
    const std::wstring nameStem = L"Karte \u00c4 \u65e5\u672c ";
    const std::wstring nameEnd = L".v1" + extension;
    const std::size_t rest = length - start.size() - 1; // folder, separator, name
    if (nameLength == 0)
        nameLength = rest / 2;
    const std::size_t folderLength = rest - nameLength;
    if (length <= start.size() + 1 || folderLength < folderStem.size() + 1 ||
        nameLength < nameStem.size() + nameEnd.size() + 1)
        throw std::runtime_error("path length out of reach");
    const std::wstring folder =
        start + folderStem + std::wstring(folderLength - folderStem.size(), L'd');
    std::filesystem::create_directories(nativePath(folder));
    const std::wstring name =
        nameStem + std::wstring(nameLength - nameStem.size() - nameEnd.size(), L'x') + nameEnd;
    return folder + SEPARATOR + name;
}

Bytes targaImage(int width, int height) {
    Bytes image = bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    image.push_back(std::uint8_t(width));
    image.push_back(std::uint8_t(width >> 8));
    image.push_back(std::uint8_t(height));
    image.push_back(std::uint8_t(height >> 8));
    image.push_back(24);
    image.push_back(0x20); // top-left origin
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.push_back(std::uint8_t(x * 255 / (width > 1 ? width - 1 : 1)));   // blue
            image.push_back(std::uint8_t(y * 255 / (height > 1 ? height - 1 : 1))); // green
            image.push_back(0x80);                                                  // red
        }
    }
    const Bytes footer = concat({le32(0), le32(0), text("TRUEVISION-XFILE."), bytes({0})});
    return concat({image, footer});
}

Bytes SampleMap::bytes() const {
    return concat({before, chunk(19, preview), after});
}

Bytes SampleMap::withoutPreview() const {
    return concat({before, after});
}

SampleMap sampleMap() {
    SampleMap map;
    map.preview = targaImage(16, 12);
    map.before = concat({chunk(1, text("MAP1")), chunk(2, le32(0x00400040)),
                         container(10, {chunk(11, text("Grassland")),
                                        container(12, {chunk(13, Bytes(300, 0x5A)),
                                                       chunk(19, text("not the preview"))})})});
    map.after = concat(
        {container(20, {chunk(21, Bytes(1024, 0x11)), chunk(22, {})}), chunk(30, text("end"))});
    return map;
}
