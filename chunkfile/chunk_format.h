#pragma once

#include <cstdint>

constexpr std::uint32_t CONTAINER_FLAG = 0x80000000u;
constexpr std::uint32_t LENGTH_MASK = 0x7FFFFFFFu;
constexpr int MAX_CHUNK_DEPTH = 256;
constexpr std::uint32_t CHUNK_HEADER_SIZE = 8;
