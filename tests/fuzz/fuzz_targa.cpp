// Any bytes as a picture: a complete image ends within them, a refusal says why, as the header's.
#include "targa.h"
#include "test_support.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const TargaCheck check = checkTarga(data, size);
    // The header alone refuses only what the whole check refuses, for the same reason.
    const TargaCheck header = checkTargaHeader(data, size);
    if (!header.complete() && header.problem != check.problem)
        std::abort(); // the header's refusal differs from the whole check's
    if (!check.complete()) {
        if (check.description() != L"not a complete Targa image (" + check.problem + L")")
            std::abort(); // a refusal without its reason
        return 0;
    }
    if (check.imageEnd > size || check.width == 0 || check.height == 0)
        std::abort(); // an image without pixels or past the input was accepted
    const Bytes whole(data, data + check.imageEnd), cut(data, data + check.imageEnd - 1);
    if (checkTarga(whole.data(), whole.size()).description() != check.description())
        std::abort(); // the bytes after the image data changed the outcome
    if (checkTarga(cut.data(), cut.size()).complete())
        std::abort(); // an image without its last byte was accepted
    return 0;
}
