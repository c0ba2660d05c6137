#include "file.h"
#include "native.h"

#include <algorithm>

PhysicalFile::PhysicalFile(const std::wstring& path) : file(native::openFile(path)) {
    knownSize = size();
}

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
    position = pos < end ? pos : end;
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
