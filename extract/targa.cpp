#include "targa.h"

namespace {

constexpr std::uint8_t RUN_LENGTH = 8; // added to the image type of a compressed image

unsigned le16(const std::uint8_t* bytes) {
    return bytes[0] | bytes[1] << 8;
}

unsigned bytesPer(unsigned bits) {
    return (bits + 7) / 8;
}

const wchar_t* kindOf(unsigned imageType) {
    switch (imageType & ~RUN_LENGTH) {
    case 1:
        return L"colour-mapped";
    case 2:
        return L"true colour";
    default:
        return L"grey";
    }
}

bool depthFits(unsigned imageType, unsigned bits) {
    if ((imageType & ~RUN_LENGTH) == 2)
        return bits == 15 || bits == 16 || bits == 24 || bits == 32;
    return bits == 8 || bits == 16;
}

// Where the run-length packets from `at` that decode to exactly `pixels` pixels end, or
// the problem with them.
std::wstring endOfPackets(const std::uint8_t* bytes, std::uint64_t size, std::uint64_t& at,
                          std::uint64_t pixels, unsigned pixelBytes) {
    while (pixels > 0) {
        if (at >= size)
            return L"the run-length data is cut short";
        const unsigned packet = bytes[at++];
        const unsigned count = (packet & 0x7F) + 1u;
        if (count > pixels)
            return L"a run-length packet runs past the last pixel";
        const std::uint64_t length = packet & 0x80 ? pixelBytes : std::uint64_t(count) * pixelBytes;
        if (length > size - at)
            return L"the run-length data is cut short";
        at += length;
        pixels -= count;
    }
    return std::wstring();
}

// Where the identification field, the colour map and the image data start, as the
// header says; the image data's end too when it is uncompressed.
struct Layout {
    std::uint64_t mapAt = 0;
    std::uint64_t dataAt = 0;
    std::uint64_t pixels = 0;
    unsigned pixelBytes = 0;
};

// The header's own rules, and whether `size` bytes can hold what it says must follow.
std::wstring headerProblem(const std::uint8_t* bytes, std::uint64_t size, TargaCheck& check,
                           Layout& layout) {
    if (size < TARGA_HEADER_SIZE)
        return L"shorter than the 18-byte header";
    const unsigned idLength = bytes[0], mapType = bytes[1], imageType = bytes[2];
    const unsigned mapFirst = le16(bytes + 3), mapLength = le16(bytes + 5), mapBits = bytes[7];
    check.width = static_cast<std::uint16_t>(le16(bytes + 12));
    check.height = static_cast<std::uint16_t>(le16(bytes + 14));
    check.bits = bytes[16];
    check.imageType = static_cast<std::uint8_t>(imageType);
    if (mapType > 1)
        return L"colour-map type " + std::to_wstring(mapType) + L", not 0 or 1";
    const unsigned kind = imageType & ~RUN_LENGTH; // 1, 2 or 3 when the type is known
    if (kind < 1 || kind > 3)
        return L"image type " + std::to_wstring(imageType) + L", not 1, 2, 3, 9, 10 or 11";
    if (kind == 1 && mapType == 0)
        return L"a colour-mapped image without a colour map";
    if (mapType == 1 && mapLength == 0)
        return L"a colour map without entries";
    if (mapType == 1 && mapBits != 8 && mapBits != 15 && mapBits != 16 && mapBits != 24 &&
        mapBits != 32)
        return L"colour-map entries of " + std::to_wstring(mapBits) +
               L" bits, not 8, 15, 16, 24 or 32";
    // Indexes are 16 bits: no decoder reads a map that runs past the last one.
    if (mapType == 1 && mapFirst + mapLength > 65536)
        return L"a colour map from entry " + std::to_wstring(mapFirst) + L" with " +
               std::to_wstring(mapLength) + L" entries, past the last index 65535";
    if (check.width == 0 || check.height == 0)
        return L"width or height 0";
    if (!depthFits(imageType, check.bits))
        return L"pixels of " + std::to_wstring(check.bits) + L" bits in a " + kindOf(imageType) +
               L" image";
    if (idLength > size - TARGA_HEADER_SIZE)
        return L"the identification field is cut short";
    layout.mapAt = TARGA_HEADER_SIZE + idLength;
    const std::uint64_t mapSize = mapType == 1 ? std::uint64_t(mapLength) * bytesPer(mapBits) : 0;
    if (mapSize > size - layout.mapAt)
        return L"the colour map is cut short";
    layout.dataAt = layout.mapAt + mapSize;
    layout.pixels = std::uint64_t(check.width) * check.height;
    layout.pixelBytes = bytesPer(check.bits);
    const std::uint64_t left = size - layout.dataAt;
    if (imageType & RUN_LENGTH) {
        // Each packet holds at most 128 pixels, in a byte and at least one pixel value.
        if ((layout.pixels + 127) / 128 * (1 + layout.pixelBytes) > left)
            return L"the run-length data is cut short";
    } else if (layout.pixels * layout.pixelBytes > left) {
        return L"the image data is cut short";
    }
    return std::wstring();
}

std::wstring problemOf(const std::uint8_t* bytes, std::uint64_t size, TargaCheck& check) {
    Layout layout;
    const std::wstring problem = headerProblem(bytes, size, check, layout);
    if (!problem.empty())
        return problem;
    std::uint64_t at = layout.dataAt;
    if (check.imageType & RUN_LENGTH) {
        const std::wstring packets =
            endOfPackets(bytes, size, at, layout.pixels, layout.pixelBytes);
        if (!packets.empty())
            return packets;
    } else {
        at += layout.pixels * layout.pixelBytes;
    }
    check.imageEnd = at;
    return std::wstring();
}

} // namespace

TargaCheck checkTarga(const std::uint8_t* bytes, std::uint64_t size) {
    TargaCheck check;
    check.problem = problemOf(bytes, size, check);
    return check;
}

TargaCheck checkTargaHeader(const std::uint8_t* header, std::uint64_t size) {
    TargaCheck check;
    Layout layout;
    check.problem = headerProblem(header, size, check, layout);
    return check;
}

std::wstring TargaCheck::description() const {
    if (!complete())
        return L"not a complete Targa image (" + problem + L")";
    return L"Targa " + std::to_wstring(width) + L" x " + std::to_wstring(height) + L", " +
           std::to_wstring(bits) + L" bits, " + kindOf(imageType) + L", " +
           (imageType & RUN_LENGTH ? L"run-length" : L"uncompressed");
}
