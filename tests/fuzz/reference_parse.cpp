#include "reference_parse.h"

namespace {

constexpr std::size_t HEADER = 8;
constexpr int DEEPEST_CHUNK = 255; // the file level is 0

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

struct Parser {
    const std::uint8_t* data;
    ReferenceParse& result;

    // The chunks packed from `begin` to `end`, one level below `depth`.
    bool parseLevel(std::size_t begin, std::size_t end, int depth) {
        std::size_t position = begin;
        while (position != end) {
            if (end - position < HEADER || depth + 1 > DEEPEST_CHUNK)
                return false;
            const std::uint32_t type = le32(data + position);
            const std::uint32_t sizeField = le32(data + position + 4);
            const std::size_t length = sizeField & 0x7FFFFFFFu;
            const bool container = (sizeField & 0x80000000u) != 0;
            if (type == 0xFFFFFFFFu || length > end - position - HEADER)
                return false;
            if (depth == 0)
                result.topLevel.push_back({type, position, HEADER + length, container});
            if (container && length == 0)
                result.normalized[position + 7] = 0;
            if (container && !parseLevel(position + HEADER, position + HEADER + length, depth + 1))
                return false;
            position += HEADER + length;
        }
        return true;
    }
};

} // namespace

ReferenceParse parseReference(const std::uint8_t* data, std::size_t size) {
    ReferenceParse result;
    result.normalized.assign(data, data + size);
    Parser parser{data, result};
    result.wellFormed = parser.parseLevel(0, size, 0);
    return result;
}

const ReferenceChunk* referencePreview(const ReferenceParse& parse) {
    for (const ReferenceChunk& chunk : parse.topLevel) {
        if (chunk.type == 19)
            return chunk.container ? nullptr : &chunk;
    }
    return nullptr;
}
