#include "chunk_writer.h"
#include "wexception.h"

namespace {

void encodeLE32(unsigned char* bytes, std::uint32_t value) {
    bytes[0] = static_cast<unsigned char>(value);
    bytes[1] = static_cast<unsigned char>(value >> 8);
    bytes[2] = static_cast<unsigned char>(value >> 16);
    bytes[3] = static_cast<unsigned char>(value >> 24);
}

void writeHeader(File& file, std::uint32_t type, std::uint32_t sizeField) {
    unsigned char header[CHUNK_HEADER_SIZE];
    encodeLE32(header, type);
    encodeLE32(header + 4, sizeField);
    if (file.write(header, CHUNK_HEADER_SIZE) != CHUNK_HEADER_SIZE)
        throw WriteException();
}

} // namespace

void ChunkWriter::beginChunk(std::uint32_t type) {
    ++depth;
    entries[depth] = {type, 0, file.tell()};
    if (depth > 0)
        entries[depth - 1].sizeField |= CONTAINER_FLAG;
    writeHeader(file, 0, 0);
}

void ChunkWriter::endChunk() {
    Entry& entry = entries[depth];
    const std::uint32_t end = file.tell();
    entry.sizeField = (entry.sizeField & CONTAINER_FLAG) |
                      ((end - entry.headerOffset - CHUNK_HEADER_SIZE) & LENGTH_MASK);
    file.seek(entry.headerOffset);
    writeHeader(file, entry.type, entry.sizeField);
    file.seek(end);
    --depth;
}
