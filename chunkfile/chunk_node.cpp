#include "chunk_node.h"
#include "wexception.h"

#include <algorithm>

void ChunkNode::Children::erase(ChildEntry* entry) {
    std::copy(entry + 1, end(), entry);
    --count;
}

void ChunkNode::write(ChunkWriter& writer) const {
    if (data) {
        if (writer.file.write(data, size) != size)
            throw WriteException();
        return;
    }
    for (const ChildEntry& entry : children) {
        writer.beginChunk(entry.type);
        entry.child->write(writer);
        writer.endChunk();
    }
}
