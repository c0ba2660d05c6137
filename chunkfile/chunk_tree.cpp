#include "chunk_tree.h"
#include "chunk_reader.h"
#include "chunk_writer.h"
#include "file.h"
#include "native.h"
#include "tree_memory.h"
#include "wexception.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

ChunkTree::ChunkTree() : rootNode(nullptr) {}
ChunkTree::~ChunkTree() = default;
ChunkTree::ChunkTree(ChunkTree&&) noexcept = default;
ChunkTree& ChunkTree::operator=(ChunkTree&&) noexcept = default;

ChunkNode& ChunkTree::insertData(ChunkNode& parent, std::size_t position, std::uint32_t type,
                                 std::uint32_t size) {
    // Children lie in arrays of their exact number: the new entry needs a new array.
    ChunkNode::Children& children = parent.children;
    auto* entries = static_cast<ChunkNode::ChildEntry*>(memory->allocate(
        (children.size() + 1) * sizeof(ChunkNode::ChildEntry), alignof(ChunkNode::ChildEntry)));
    auto* node = new (memory->allocate(sizeof(ChunkNode), alignof(ChunkNode))) ChunkNode();
    renewBody(*node, size);
    std::copy(children.begin(), children.begin() + position, entries);
    entries[position] = {type, node};
    std::copy(children.begin() + position, children.end(), entries + position + 1);
    children.first = entries;
    ++children.count;
    return *node;
}

void ChunkTree::renewBody(ChunkNode& node, std::uint32_t size) {
    node.data = memory->allocateBody(size);
    node.size = size;
}

void ChunkTree::copyBody(const ChunkNode& node, File& out) const {
    std::vector<std::uint8_t> buffer;
    const std::uint32_t at = node.source + CHUNK_HEADER_SIZE;
    if ((node.data ? out.write(node.data, node.size)
                   : copyBetween(*source, at, out, out.tell(), node.size, buffer)) == node.size)
        return;
    if (!node.data && std::uint64_t(at) + node.size > source->size())
        throw ReadException();
    throw WriteException();
}

std::uint32_t ChunkTree::readBody(const ChunkNode& node, void* buffer, std::uint32_t count) const {
    count = std::min(count, node.size);
    if (node.data) {
        std::memcpy(buffer, node.data, count);
        return count;
    }
    source->seek(node.source + CHUNK_HEADER_SIZE);
    return source->read(buffer, count);
}

// Builds a tree chunk by chunk from a reader, as deep as the reader nests.
class ChunkTreeLoader {
public:
    ChunkTreeLoader(ChunkReader& r, ChunkTree::Memory& m, TreeDetail d)
        : reader(r), memory(m), detail(d), levels(MAX_CHUNK_DEPTH + 1) {}

    // The node for the reader's current chunk with its subtree; on a fresh reader, the
    // root of the whole file.
    ChunkNode* load(std::size_t depth) {
        auto* node = new (memory.allocate(sizeof(ChunkNode), alignof(ChunkNode))) ChunkNode();
        node->sourceField = CONTAINER_FLAG; // the root: the file as a container
        if (depth > 0) {
            const std::uint32_t body = reader.file.tell();
            node->source = body - CHUNK_HEADER_SIZE;
            node->sourceField = reader.currentSize >= 0
                                    ? static_cast<std::uint32_t>(reader.currentSize)
                                    : CONTAINER_FLAG | (reader.ends[reader.depth] - body);
        }
        if (reader.currentSize >= 0) {
            node->size = static_cast<std::uint32_t>(reader.currentSize);
            return node;
        }
        if (depth == 1 && detail == TreeDetail::TopLevel && passedAsItLies()) {
            node->children.notLoaded = true;
            return node;
        }
        // The children gather in this level's list, reused from container to container,
        // and are then copied into an array of their exact number.
        std::vector<ChunkNode::ChildEntry>& entries = levels[depth];
        entries.clear();
        for (std::int32_t t = reader.nextChunk(); t != -1; t = reader.nextChunk()) {
            ChunkNode* child = load(depth + 1);
            if (entries.size() == entries.capacity())
                memory.take((entries.capacity() + 1) * sizeof(ChunkNode::ChildEntry));
            entries.push_back({static_cast<std::uint32_t>(t), child});
        }
        if (!entries.empty()) {
            node->children.first = static_cast<ChunkNode::ChildEntry*>(memory.allocate(
                entries.size() * sizeof(ChunkNode::ChildEntry), alignof(ChunkNode::ChildEntry)));
            std::copy(entries.begin(), entries.end(), node->children.first);
            node->children.count = static_cast<std::uint32_t>(entries.size());
        }
        return node;
    }

    // A whole file's tree, which may take `budget` bytes at the most.
    static ChunkTree loadTree(ChunkReader& reader, std::uint64_t budget, File& source,
                              TreeDetail detail) {
        ChunkTree tree;
        tree.source = &source;
        tree.memory = std::make_unique<ChunkTree::Memory>(budget);
        tree.rootNode = ChunkTreeLoader(reader, *tree.memory, detail).load(0);
        // The headers account for every byte; the file must still hold them all (a file
        // may shrink beneath the reader, which the headers cannot show).
        const std::uint32_t size = reader.file.size();
        std::uint8_t last;
        if (size > 0) {
            reader.file.seek(size - 1);
            if (reader.file.read(&last, 1) != 1)
                throw ReadException();
        }
        return tree;
    }

private:
    // Reads past the rest of the container just entered, checking every header, when the
    // writer gives all of it back as it lies; otherwise leaves the reader where it was.
    bool passedAsItLies() {
        const std::uint32_t start = reader.file.tell();
        const std::int32_t level = reader.depth;
        if (holdsNoEmptyContainer())
            return true;
        reader.file.seek(start);
        reader.depth = level;
        reader.currentSize = -1;
        return false;
    }

    // Reads the current container's chunks to its end, unless one is found empty (or it is).
    bool holdsNoEmptyContainer() {
        std::int32_t type = reader.nextChunk();
        if (type == -1)
            return false;
        for (; type != -1; type = reader.nextChunk())
            if (reader.currentSize < 0 && !holdsNoEmptyContainer())
                return false;
        return true;
    }

    ChunkReader& reader;
    ChunkTree::Memory& memory;
    const TreeDetail detail;
    std::vector<std::vector<ChunkNode::ChildEntry>> levels;
};

ChunkTree loadChunkTree(File& source, std::uint64_t memoryBudget, std::uint32_t window,
                        TreeDetail detail) {
    BufferedFile buffered(source, window);
    ChunkReader reader(buffered);
    return ChunkTreeLoader::loadTree(reader, memoryBudget, source, detail);
}

ChunkTree loadChunkFile(PhysicalFile& file, TreeDetail detail) {
    if (file.fullSize() > 0xFFFFFFFFu)
        throw ReadException();
    return loadChunkTree(file, native::availableMemory(), LOAD_WINDOW, detail);
}

namespace {

// Works out the body length of every container as it will be written.
std::uint64_t measure(const ChunkNode& node) {
    if (!node.isContainer())
        return node.size;
    if (node.children.notLoaded)
        return node.length = node.lengthInSource();
    std::uint64_t length = 0;
    for (const ChunkNode::ChildEntry& entry : node.children)
        length += CHUNK_HEADER_SIZE + measure(*entry.child);
    node.length = static_cast<std::uint32_t>(length);
    return length;
}

void encodeLE32(std::uint8_t* bytes, std::uint32_t value) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
    bytes[2] = static_cast<std::uint8_t>(value >> 16);
    bytes[3] = static_cast<std::uint8_t>(value >> 24);
}

// Each child with its header: a container with children is marked as one, an empty one is
// written as an empty data chunk. A header the source holds alike, and a body that is
// there, are ranges of it (`source`: the source may be read).
void writeChildren(const ChunkNode& node, ChunkWriter& writer, bool source) {
    for (const ChunkNode::ChildEntry& entry : node.children) {
        const ChunkNode& child = *entry.child;
        if (child.children.notLoaded) {
            writer.range(child.source, CHUNK_HEADER_SIZE + child.length);
            continue;
        }
        const std::uint32_t sizeField =
            child.isContainer()
                ? (child.children.size() ? CONTAINER_FLAG : 0) | (child.length & LENGTH_MASK)
                : child.size;
        if (source && child.source != ChunkNode::NOT_IN_SOURCE && sizeField == child.sourceField) {
            writer.range(child.source, CHUNK_HEADER_SIZE);
        } else {
            std::uint8_t header[CHUNK_HEADER_SIZE];
            encodeLE32(header, entry.type);
            encodeLE32(header + 4, sizeField);
            writer.bytes(header, CHUNK_HEADER_SIZE);
        }
        if (child.isContainer())
            writeChildren(child, writer, source);
        else if (child.data)
            writer.bytes(child.data, child.size);
        else
            writer.range(child.source + CHUNK_HEADER_SIZE, child.size);
    }
}

} // namespace

void writeChunkTree(const ChunkTree& tree, File& out, std::uint32_t window) {
    measure(tree.root());
    ChunkWriter writer(tree.source, out, window);
    writeChildren(tree.root(), writer, tree.source != nullptr);
    writer.finish();
}
