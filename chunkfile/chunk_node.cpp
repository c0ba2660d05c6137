#include "chunk_node.h"

#include <algorithm>

void ChunkNode::Children::erase(ChildEntry* entry) {
    std::copy(entry + 1, end(), entry);
    --count;
}
