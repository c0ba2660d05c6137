#include "preview.h"
#include "chunk_tree.h"
#include "file_system.h"
#include "held_file.h"
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

// Saves the body of the first top-level type-19 chunk to `targa`, the place found for
// `targaPath` (created, or with Overwrite replaced as a whole once the new content is on
// disk), and removes that chunk from the tree; returns the chunk's 0-based top-level
// position. Nothing, with nothing written, when there is no such chunk or the first one
// is a container.
std::optional<std::size_t> takePreview(ChunkNode& root, const filesystem_ops::Place& targa,
                                       const std::wstring& targaPath, ExistingTarga existing,
                                       HeldFile& map) {
    const auto entry = findPreview(root);
    if (entry == root.children.end())
        return std::nullopt;
    const wruntime_error exists(L"The preview file already exists:\n", targaPath);
    // A link is something that has the name, even one that points nowhere.
    if (existing == ExistingTarga::Refuse && targa.throughLink)
        throw exists;
    const ChunkNode& preview = *entry->child;
    // A preview that did not reach the disk must not be removed from the map.
    const bool written = writeFileSafely(
        targa, targaPath,
        existing == ExistingTarga::Refuse ? WriteTarget::NewFile : WriteTarget::NewOrExisting,
        [&](PhysicalFile& file) {
            if (file.write(preview.data, preview.size) != preview.size)
                throw WriteException();
        },
        &map);
    if (!written)
        throw exists;
    const std::size_t position = entry - root.children.begin();
    root.children.erase(entry);
    return position;
}

} // namespace

PreviewResult runExtraction(const std::wstring& targaPath, const std::wstring& mapPath,
                            MapChange change, ExistingTarga existing,
                            const std::function<void(std::size_t)>& previewSaved) {
    // The Targa file is looked up once, before the map is read: a folder is never a Targa
    // file, whatever the options, and the map itself never one either.
    const filesystem_ops::Place targa = filesystem_ops::locate(targaPath, targaPath);
    const std::optional<filesystem_ops::FileStamp> there = filesystem_ops::stampAt(targa);
    if (there && there->folder)
        throw openFailure(targaPath);
    HeldFile map = holdFile(mapPath);
    ChunkTree tree = loadChunkFile(map.file);
    ChunkNode& root = tree.root();
    if (there && there->isSameFile(map.stamp))
        throw wruntime_error(L"The preview file must not be the map file itself.");
    const std::optional<std::size_t> position = takePreview(root, targa, targaPath, existing, map);
    if (!position)
        return PreviewResult::NoPreview;
    if (previewSaved)
        previewSaved(*position);
    if (change == MapChange::RemovePreview) {
        try {
            writeFileSafely(map, [&](PhysicalFile& file) { writeChunkTree(root, file); });
        } catch (const FileHeldException&) {
            // So that the user does not run it again without --force, only to be refused.
            throw IOException(L"Another program holds the map, so it is unchanged; the preview "
                              L"was saved to:\n",
                              targaPath);
        }
    }
    return PreviewResult::Extracted;
}

Insertion runInsertion(const std::wstring& picturePath, const std::wstring& mapPath,
                       std::optional<std::size_t> position, ExistingPreview existing) {
    HeldFile map = holdFile(mapPath);
    ChunkTree tree = loadChunkFile(map.file);
    const std::uint64_t mapSize = map.stamp.size;
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
        HeldFile held = holdFile(picturePath);
        PhysicalFile& picture = held.file;
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
    writeFileSafely(map, [&](PhysicalFile& file) { writeChunkTree(root, file); });
    return {at, replace};
}

void extractPreview(const std::wstring& targaPath, const std::wstring& mapPath) {
    reportFailures([&] {
        if (runExtraction(targaPath, mapPath) == PreviewResult::NoPreview)
            showMessage(loadResourceString(IDS_NO_PREVIEW), MESSAGE_ICON_ERROR);
    });
}
