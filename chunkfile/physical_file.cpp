#include "file.h"
#include "native.h"

#include <algorithm>

PhysicalFile::PhysicalFile(FileHandle adopted) : file(std::move(adopted)) {
    knownSize = size();
}

std::uint64_t PhysicalFile::fullSize() {
    return native::sizeOf(file.get());
}

std::uint32_t PhysicalFile::size() {
    knownSize = static_cast<std::uint32_t>(fullSize());
    return knownSize;
}

void PhysicalFile::seek(std::uint32_t pos) {
    const std::uint32_t end = pos <= knownSize ? knownSize : size();
    position = std::min(pos, end);
}

std::uint32_t PhysicalFile::tell() {
    return position;
}

std::uint32_t PhysicalFile::read(void* buffer, std::uint32_t count) {
    const std::uint32_t done = native::readAt(file.get(), buffer, count, position);
    position += done;
    return done;
}

std::uint32_t PhysicalFile::write(const void* buffer, std::uint32_t count) {
    const std::uint32_t done = native::writeAt(file.get(), buffer, count, position);
    position += done;
    knownSize = std::max(knownSize, position);
    return done;
}

bool PhysicalFile::flush() {
    return native::sync(file.get());
}

bool PhysicalFile::truncate() {
    position = knownSize = 0;
    return native::truncate(file.get());
}

namespace native {

std::uint64_t copyRange(FileHandle::Type from, std::uint64_t fromOffset, FileHandle::Type to,
                        std::uint64_t toOffset, std::uint64_t count,
                        std::vector<std::uint8_t>& buffer) {
    buffer.resize(COPY_BUFFER);
    std::uint64_t done = 0;
    while (done < count) {
        const auto step =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(COPY_BUFFER, count - done));
        const std::uint32_t got = readAt(from, buffer.data(), step, fromOffset + done);
        const std::uint32_t put = writeAt(to, buffer.data(), got, toOffset + done);
        startWriteBack(to, toOffset + done, put);
        done += put;
        if (got != step || put != got)
            break;
    }
    return done;
}

} // namespace native

std::uint32_t copyBetween(File& from, std::uint32_t fromOffset, File& to, std::uint32_t toOffset,
                          std::uint32_t count, std::vector<std::uint8_t>& buffer) {
    auto* fromFile = dynamic_cast<PhysicalFile*>(&from);
    auto* toFile = dynamic_cast<PhysicalFile*>(&to);
    if (fromFile && toFile) {
        const auto done = static_cast<std::uint32_t>(native::copyRange(
            fromFile->handle(), fromOffset, toFile->handle(), toOffset, count, buffer));
        toFile->seek(toOffset + done);
        return done;
    }
    // A file in memory on either side: through the buffer, with the files' own calls.
    if (buffer.empty())
        buffer.resize(native::COPY_BUFFER);
    std::uint32_t done = 0;
    while (done < count) {
        const auto step =
            static_cast<std::uint32_t>(std::min<std::size_t>(buffer.size(), count - done));
        from.seek(fromOffset + done);
        const std::uint32_t got = from.read(buffer.data(), step);
        to.seek(toOffset + done);
        const std::uint32_t put = to.write(buffer.data(), got);
        done += put;
        if (got != step || put != got)
            break;
    }
    return done;
}
