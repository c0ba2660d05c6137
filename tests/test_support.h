#pragma once

#include "file.h"
#include "wexception.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;
constexpr wchar_t SEPARATOR[] = {std::filesystem::path::preferred_separator, 0};

// Byte-stream builders, so that a test shows the bytes it means.
Bytes le32(std::uint32_t value);
Bytes text(const std::string& s);
Bytes concat(std::initializer_list<Bytes> parts);
Bytes rawHeader(std::uint32_t type, std::uint32_t sizeField);
Bytes chunk(std::uint32_t type, const Bytes& body);
Bytes container(std::uint32_t type, std::initializer_list<Bytes> children);
// A Targa picture: the header's fields as named, then `rest`.
Bytes tga(std::uint8_t idLength, std::uint8_t mapType, std::uint8_t imageType,
          std::uint16_t mapLength, std::uint8_t mapBits, std::uint16_t width, std::uint16_t height,
          std::uint8_t bits, const Bytes& rest = {});

// A fresh folder, removed with all in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return root; }
    std::wstring file(const std::wstring& name) const { return root.wstring() + SEPARATOR + name; }
    std::set<std::filesystem::path> names() const;

private:
    std::filesystem::path root;
};

// Wide paths as the code takes them, for the library (Windows: long ones with \\?\).
std::filesystem::path nativePath(const std::wstring& path);
void writeFile(const std::wstring& path, const Bytes& content);
Bytes readFile(const std::wstring& path);
void setReadOnly(const std::wstring& path, bool readOnly);

// The message of the wexception that `body` throws; "" when it throws none.
template <typename Body> std::wstring messageOf(Body&& body) {
    try {
        body();
    } catch (const wexception& e) {
        return e.message;
    }
    return L"";
}

// A map with nested chunks, its preview (a Targa image) at top-level position 3.
struct SampleMap {
    Bytes preview;
    Bytes before; // top-level chunks before the preview
    Bytes after;  // top-level chunks after it
    Bytes bytes() const { return concat({before, chunk(19, preview), after}); }
    Bytes withoutPreview() const { return concat({before, after}); }
};
SampleMap sampleMap();

// A file in memory that counts its writes.
class MemoryFile : public File {
public:
    explicit MemoryFile(Bytes content = {}) : bytes(std::move(content)) {}
    std::uint32_t size() override { return static_cast<std::uint32_t>(bytes.size()); }
    void seek(std::uint32_t pos) override { position = std::min<std::size_t>(pos, bytes.size()); }
    std::uint32_t tell() override { return position; }
    std::uint32_t read(void* buffer, std::uint32_t count) override {
        count = std::min<std::size_t>(count, bytes.size() - position);
        std::copy_n(bytes.begin() + position, count, static_cast<std::uint8_t*>(buffer));
        position += count;
        return count;
    }
    std::uint32_t write(const void* buffer, std::uint32_t count) override {
        ++writes;
        bytes.resize(std::max<std::size_t>(bytes.size(), position + count));
        std::copy_n(static_cast<const std::uint8_t*>(buffer), count, bytes.begin() + position);
        position += count;
        return count;
    }

    Bytes bytes;
    unsigned writes = 0;

private:
    std::uint32_t position = 0;
};
