#include "preview.h"
#include "chunk_tree.h"
#include "file_system.h"
#include "report_failures.h"
#include "safe_write.h"
#include "string_table.h"
#include "targa.h"
#include "text_ids.h"
#include "wexception.h"

#include <algorithm>

namespace {

// The first top-level type-19 chunk, data or container.
ChunkNode::ChildEntry* firstOfType19(ChunkNode& root) {
    return std::find_if(
        root.children.begin(), root.children.end(),
        [](const ChunkNode::ChildEntry& e) { return e.type == PREVIEW_CHUNK_TYPE; });
}

// The first top-level type-19 chunk if it holds data; later ones are not looked at.
ChunkNode::ChildEntry* findPreview(ChunkNode& root) {
    const auto entry = firstOfType19(root);
    if (entry != root.children.end() && entry->child->isContainer())
        return root.children.end();
    return entry;
}

wruntime_error notCompleteTarga(const std::wstring& path, const std::wstring& reason) {
    return wruntime_error(L"The picture is not a complete Targa image (" + reason + L"):\n", path);
}

// Saves the body of the first top-level type-19 chunk to `targaPath` (created, or
// replaced as a whole once the new content is on disk) and removes that chunk from the
// tree; returns the chunk's 0-based top-level position. Nothing, with nothing written,
// when there is no such chunk or the first one is a container.
std::optional<std::size_t> takePreview(ChunkTree& tree, const std::wstring& targaPath) {
    ChunkNode& root = tree.root();
    const auto entry = findPreview(root);
    if (entry == root.children.end())
        return std::nullopt;
    const ChunkNode& preview = *entry->child;
    // A preview that did not reach the disk must not be removed from the map.
    writeFileSafely(targaPath, WriteTarget::NewOrExisting,
                    [&](PhysicalFile& targa) { tree.copyBody(preview, targa); });
    const std::size_t position = entry - root.children.begin();
    root.children.erase(entry);
    return position;
}

// Replaces the map the tree was loaded from with the tree. A rewrite in place reads the
// bodies from the copy made of the map first, or holds them where there is none; the
// tree's own handle on the map is closed before the new map takes its place.
void writeMap(ChunkTree& tree, const std::wstring& mapPath) {
    writeFileSafely(
        mapPath, WriteTarget::ExistingFile,
        [&](PhysicalFile& file) {
            writeChunkTree(tree, file);
            tree.closeSource();
        },
        [&](PhysicalFile* copy) { copy ? tree.readFrom(*copy) : tree.holdBodies(); });
}

} // namespace

PreviewResult runExtraction(const std::wstring& targaPath, const std::wstring& mapPath,
                            MapChange change, ExistingTarga existing,
                            const std::function<void(std::size_t)>& previewSaved) {
    // A folder is never a Targa file, whatever the options; said before the map is read.
    if (filesystem_ops::isFolder(targaPath))
        throw openFailure(targaPath);
    ChunkTree tree = loadChunkFile(mapPath);
    ChunkNode& root = tree.root();
    if (filesystem_ops::isSameFile(targaPath, mapPath))
        throw wruntime_error(L"The preview file must not be the map file itself.");
    if (existing == ExistingTarga::Refuse && findPreview(root) != root.children.end() &&
        filesystem_ops::exists(targaPath))
        throw wruntime_error(L"The preview file already exists:\n", targaPath);
    const std::optional<std::size_t> position = takePreview(tree, targaPath);
    if (!position)
        return PreviewResult::NoPreview;
    if (previewSaved)
        previewSaved(*position);
    if (change == MapChange::RemovePreview)
        writeMap(tree, mapPath);
    return PreviewResult::Extracted;
}

Insertion runInsertion(const std::wstring& picturePath, const std::wstring& mapPath,
                       std::optional<std::size_t> position, ExistingPreview existing) {
    std::uint64_t mapSize = 0;
    ChunkTree tree = loadChunkFile(mapPath, &mapSize);
    ChunkNode& root = tree.root();
    const auto preview = findPreview(root);
    const bool replace = preview != root.children.end();
    if (replace && existing == ExistingPreview::Refuse)
        throw wruntime_error(L"The map already has a preview.");
    const std::size_t count = root.children.size();
    const std::size_t at = replace ? preview - root.children.begin() : position.value_or(count);
    if (at > count)
        throw wruntime_error(L"There is no top-level position " + std::to_wstring(at) +
                             L" in this map; the highest is " + std::to_wstring(count) + L".");
    const std::size_t container = firstOfType19(root) - root.children.begin();
    if (!replace && at > container)
        throw wruntime_error(L"At top-level position " + std::to_wstring(at) +
                             L" the preview would follow the type-19 container at position " +
                             std::to_wstring(container) + L", and extraction would not find it.");

    ChunkNode* node = replace ? preview->child : nullptr;
    {
        PhysicalFile picture(OPEN_READ, picturePath);
        const std::uint64_t size = picture.fullSize();
        if (size > LENGTH_MASK)
            throw notCompleteTarga(picturePath, L"larger than " + std::to_wstring(LENGTH_MASK) +
                                                    L" bytes, the largest chunk body");
        const std::uint64_t newMapSize =
            replace ? mapSize - node->size + size : mapSize + CHUNK_HEADER_SIZE + size;
        if (newMapSize > 0xFFFFFFFFu)
            throw wruntime_error(L"With the picture the map would be larger than 4294967295 "
                                 L"bytes, the largest a map can be.");
        const auto bodySize = static_cast<std::uint32_t>(size);
        if (replace)
            tree.renewBody(*node, bodySize);
        else
            node = &tree.insertData(root, at, PREVIEW_CHUNK_TYPE, bodySize);
        if (picture.read(node->data, bodySize) != bodySize)
            throw ReadException();
    }
    const TargaCheck check = checkTarga(node->data, node->size);
    if (!check.complete())
        throw notCompleteTarga(picturePath, check.problem);
    writeMap(tree, mapPath);
    return {at, replace};
}

void extractPreview(const std::wstring& targaPath, const std::wstring& mapPath) {
    reportFailures([&] {
        if (runExtraction(targaPath, mapPath) == PreviewResult::NoPreview)
            showMessage(loadResourceString(IDS_NO_PREVIEW), MESSAGE_ICON_ERROR);
    });
}
