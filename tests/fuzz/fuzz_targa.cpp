// Arbitrary bytes as a picture. The check reads nothing past them (each input lies in a
// buffer of exactly its length), and what it says holds: a complete image obeys the
// header's rules and ends within the bytes; cut right after its image data it is still
// complete and described alike, one byte shorter it is refused; a refusal says why.
#include "fuzz_support.h"
#include "targa.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const TargaCheck check = checkTarga(data, size);
    if (!check.complete()) {
        if (check.description() != L"not a complete Targa image (" + check.problem + L")")
            fail("a refusal without its reason");
        return 0;
    }
    const unsigned type = data[2], kind = type & 7, bits = data[16];
    const bool depthFits =
        kind == 2 ? bits == 15 || bits == 16 || bits == 24 || bits == 32 : bits == 8 || bits == 16;
    if (data[1] > 1 ||
        (type != 1 && type != 2 && type != 3 && type != 9 && type != 10 && type != 11) ||
        (kind == 1 && data[1] != 1) || check.width == 0 || check.height == 0 || !depthFits)
        fail("a header against the rules was accepted");
    if (check.imageEnd > size)
        fail("the image data ends past the input");
    const Bytes whole(data, data + check.imageEnd);
    if (checkTarga(whole.data(), whole.size()).description() != check.description())
        fail("the bytes after the image data changed the outcome");
    const Bytes cut(data, data + check.imageEnd - 1);
    if (checkTarga(cut.data(), cut.size()).complete())
        fail("an image without its last byte was accepted");
    return 0;
}
