#pragma once

#include <cstdint>
#include <string>

// What a picture is as a Targa image: the header's kind and size, and whether the header,
// identification field, colour map and image data are all there. Bytes after the image
// data (developer area, extension area, footer) are not examined.
struct TargaCheck {
    // Why the bytes are not one complete Targa image; empty when they are.
    std::wstring problem;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t bits = 0;
    std::uint8_t imageType = 0;
    // Where the image data ends (complete images only).
    std::uint64_t imageEnd = 0;

    bool complete() const { return problem.empty(); }
    // "Targa W x H, B bits, KIND, COMPRESSION" or "not a complete Targa image (REASON)".
    std::wstring description() const;
};

constexpr std::uint64_t TARGA_HEADER_SIZE = 18;

// Checks the `size` bytes at `bytes`, which may be anything; reads none beyond them.
TargaCheck checkTarga(const std::uint8_t* bytes, std::uint64_t size);

// What the header alone says of a picture of `size` bytes, before the rest is read:
// `header` holds its first min(size, TARGA_HEADER_SIZE) bytes. Refuses, with the problem
// checkTarga would name, a picture whose header fields are wrong or whose size is too
// small for what the header says follows; a picture it passes may still be refused by
// checkTarga (the run-length packets are not seen here).
TargaCheck checkTargaHeader(const std::uint8_t* header, std::uint64_t size);
