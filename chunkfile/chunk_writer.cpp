#include "chunk_writer.h"
#include "native.h"
#include "wexception.h"

#include <algorithm>

ChunkWriter::ChunkWriter(File* s, File& o, std::uint32_t w) : source(s), out(o), window(w) {
    // Copies between files on disk take the buffer as they need it; a smaller window than
    // theirs makes ranges of a file in memory cross its edges too.
    if (w < native::COPY_BUFFER)
        buffer.resize(w);
}

void ChunkWriter::bytes(const std::uint8_t* data, std::uint32_t count) {
    copyPending();
    if (gathered.size() + count > window)
        writeGathered();
    if (count < window) {
        gathered.insert(gathered.end(), data, data + count);
        return;
    }
    out.seek(written);
    if (out.write(data, count) != count)
        throw WriteException();
    written += count;
}

void ChunkWriter::range(std::uint32_t offset, std::uint32_t count) {
    if (count == 0)
        return;
    if (rangeLength > 0 && rangeStart + rangeLength == offset) {
        rangeLength += count;
        return;
    }
    copyPending();
    writeGathered();
    rangeStart = offset;
    rangeLength = count;
}

void ChunkWriter::finish() {
    copyPending();
    writeGathered();
}

void ChunkWriter::writeGathered() {
    if (gathered.empty())
        return;
    const auto count = static_cast<std::uint32_t>(gathered.size());
    out.seek(written);
    if (out.write(gathered.data(), count) != count)
        throw WriteException();
    written += count;
    gathered.clear();
}

void ChunkWriter::copyPending() {
    if (rangeLength == 0)
        return;
    const std::uint32_t done = copyBetween(*source, rangeStart, out, written, rangeLength, buffer);
    if (done != rangeLength) {
        if (std::uint64_t(rangeStart) + rangeLength > source->size())
            throw ReadException();
        throw WriteException();
    }
    written += rangeLength;
    rangeLength = 0;
}
