#pragma once

#include <cstdint>

constexpr std::uint32_t CONTAINER_FLAG = 0x80000000u;
constexpr std::uint32_t LENGTH_MASK = 0x7FFFFFFFu;
constexpr int MAX_CHUNK_DEPTH = 256;
constexpr std::uint32_t CHUNK_HEADER_SIZE = 8;
// Reserved: the reader returns it (as -1) when a level has no further chunk.
constexpr std::uint32_t END_OF_LEVEL = 0xFFFFFFFFu;

inline std::uint32_t decodeLE32(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

inline void encodeLE32(unsigned char* bytes, std::uint32_t value) {
    bytes[0] = static_cast<unsigned char>(value);
    bytes[1] = static_cast<unsigned char>(value >> 8);
    bytes[2] = static_cast<unsigned char>(value >> 16);
    bytes[3] = static_cast<unsigned char>(value >> 24);
}
