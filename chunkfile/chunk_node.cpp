#include "chunk_node.h"
#include "file.h"
#include "wexception.h"

ChunkNode::ChunkNode(ChunkReader& reader) {
    if (reader.currentSize < 0) {
        for (std::int32_t t = reader.nextChunk(); t != -1; t = reader.nextChunk()) {
            children.push_back({static_cast<std::uint32_t>(t), nullptr});
            children.back().child = std::make_unique<ChunkNode>(reader);
        }
        return;
    }
    size = static_cast<std::uint32_t>(reader.currentSize);
    // Even an empty body gets a buffer, so an empty data chunk stays a data chunk. It is
    // not zeroed: readData fills every byte or throws, and zeroing a large map first
    // costs a whole extra pass over its memory.
    data.reset(new std::uint8_t[size]);
    reader.readData(data.get(), reader.currentSize);
}

void ChunkNode::write(ChunkWriter& writer) const {
    if (data) {
        if (writer.file.write(data.get(), size) != size)
            throw WriteException();
        return;
    }
    for (const ChildEntry& entry : children) {
        writer.beginChunk(entry.type);
        entry.child->write(writer);
        writer.endChunk();
    }
}

std::unique_ptr<ChunkNode> loadChunkTree(PhysicalFile& file) {
    if (file.fullSize() > 0xFFFFFFFFu)
        throw ReadException();
    ChunkReader reader(file);
    return std::make_unique<ChunkNode>(reader);
}

void writeChunkTree(const ChunkNode& root, File& file) {
    ChunkWriter writer(file);
    root.write(writer);
}
