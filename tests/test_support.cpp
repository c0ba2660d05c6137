#include "test_support.h"
#include "utf8.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>

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

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

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

std::wstring TempDir::file(const std::wstring& name) const {
#ifdef _WIN32
    return root.wstring() + L"\\" + name;
#else
    return fromUtf8(root.string()) + L"/" + name;
#endif
}

std::filesystem::path nativePath(const std::wstring& path) {
#ifdef _WIN32
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
