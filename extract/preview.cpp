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

void (*afterPictureHeaderRead)(const std::wstring& path) = nullptr;

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
    return wruntime_error(L"The picture is not a complete Targa image (" + reason +
                              L"); to put back a preview as it was extracted, add --unchecked:\n",
                          path);
}

// A top-level position given as decimal digits; past what a size holds, the largest,
// which no map reaches.
std::size_t positionOf(const std::wstring& digits) {
    std::size_t value = 0;
    for (const wchar_t digit : digits) {
        const std::size_t next = value * 10 + static_cast<std::size_t>(digit - L'0');
        value = value > SIZE_MAX / 10 || next < value * 10 ? SIZE_MAX : next;
    }
    return value;
}

// Saves the body of the first top-level type-19 chunk to `targa`, the place found for
// `targaPath` (created, or with Overwrite replaced as a whole once the new content is on
// disk), and removes that chunk from the tree; returns the chunk's 0-based top-level
// position, and in `problem` why its bytes are not a complete Targa image. Nothing, with
// nothing written, when there is no such chunk or the first one is a container.
std::optional<std::size_t> takePreview(ChunkTree& tree, const filesystem_ops::Place& targa,
                                       const std::wstring& targaPath, ExistingTarga existing,
                                       HeldFile& map, std::wstring& problem) {
    ChunkNode& root = tree.root();
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
        [&](PhysicalFile& file) { tree.copyBody(preview, file); }, &map);
    if (!written)
        throw exists;
    // What the map still holds of it, which the map's own write checks in full.
    std::vector<std::uint8_t> bytes(preview.size);
    problem = checkTarga(bytes.data(), tree.readBody(preview, bytes.data(), preview.size)).problem;
    const std::size_t position = entry - root.children.begin();
    root.children.erase(entry);
    return position;
}

// Replaces the held map with the tree. A rewrite in place reads the bodies from the copy
// made of the map first.
void writeMap(ChunkTree& tree, HeldFile& map) {
    writeFileSafely(
        map, [&](PhysicalFile& file) { writeChunkTree(tree, file); },
        [&](PhysicalFile& copy) { tree.readFrom(copy); });
}

} // namespace

PreviewResult
runExtraction(const std::wstring& targaPath, const std::wstring& mapPath, MapChange change,
              ExistingTarga existing,
              const std::function<void(std::size_t, const std::wstring&)>& previewSaved) {
    // The Targa file is looked up once, before the map is read: a folder is never a Targa
    // file, whatever the options, and the map itself never one either.
    const filesystem_ops::Place targa = filesystem_ops::locate(targaPath, targaPath);
    const std::optional<filesystem_ops::FileStamp> there = filesystem_ops::stampAt(targa);
    if (there && there->folder)
        throw openFailure(targaPath);
    HeldFile map = holdFile(mapPath);
    ChunkTree tree = loadChunkFile(map.file, TreeDetail::TopLevel);
    if (there && there->isSameFile(map.stamp))
        throw wruntime_error(L"The preview file must not be the map file itself.");
    std::wstring problem;
    const std::optional<std::size_t> position =
        takePreview(tree, targa, targaPath, existing, map, problem);
    if (!position)
        return PreviewResult::NoPreview;
    if (previewSaved)
        previewSaved(*position, problem);
    if (change == MapChange::RemovePreview) {
        try {
            writeMap(tree, map);
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
                       const std::optional<std::wstring>& position, ExistingPreview existing,
                       PictureCheck check) {
    HeldFile map = holdFile(mapPath);
    ChunkTree tree = loadChunkFile(map.file, TreeDetail::TopLevel);
    const std::uint64_t mapSize = map.stamp.size;
    ChunkNode& root = tree.root();
    const auto preview = findPreview(root);
    const std::size_t count = root.children.size();
    const std::size_t previewAt = preview - root.children.begin();
    const bool replace = preview != root.children.end() && existing == ExistingPreview::Replace;
    const std::size_t at = replace ? previewAt : position ? positionOf(*position) : count;
    // Before the preview the new one is what extraction finds, the former one stays after it.
    const bool before = preview != root.children.end() && !replace && position && at <= previewAt;
    if (preview != root.children.end() && !replace && !before)
        throw wruntime_error(L"The map already has a preview.");
    const std::wstring typed = position ? *position : std::to_wstring(at);
    if (at > count)
        throw wruntime_error(L"There is no top-level position " + typed +
                             L" in this map; the highest is " + std::to_wstring(count) + L".");
    const std::size_t container = firstOfType19(root) - root.children.begin();
    if (!replace && at > container)
        throw wruntime_error(L"At top-level position " + typed +
                             L" the preview would follow the type-19 container at position " +
                             std::to_wstring(container) + L", and extraction would not find it.");

    ChunkNode* node = replace ? preview->child : nullptr;
    {
        HeldFile held = holdFile(picturePath);
        PhysicalFile& picture = held.file;
        const std::uint64_t size = picture.fullSize();
        if (size > LENGTH_MASK)
            throw wruntime_error(L"The picture is larger than " + std::to_wstring(LENGTH_MASK) +
                                     L" bytes, the largest chunk body:\n",
                                 picturePath);
        // The header first, so that no junk is read whole before it is refused.
        std::uint8_t header[TARGA_HEADER_SIZE];
        const auto headerSize = static_cast<std::uint32_t>(std::min(size, TARGA_HEADER_SIZE));
        const IOException unreadable(L"Unable to read file:\n", picturePath);
        if (picture.read(header, headerSize) != headerSize)
            throw unreadable;
        if (afterPictureHeaderRead)
            afterPictureHeaderRead(picturePath);
        if (check == PictureCheck::Targa) {
            const TargaCheck headerCheck = checkTargaHeader(header, size);
            if (!headerCheck.complete())
                throw notCompleteTarga(picturePath, headerCheck.problem);
        }
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
        std::copy_n(header, headerSize, node->data);
        if (picture.read(node->data + headerSize, bodySize - headerSize) != bodySize - headerSize)
            throw unreadable;
    }
    if (check == PictureCheck::Targa) {
        const TargaCheck whole = checkTarga(node->data, node->size);
        if (!whole.complete())
            throw notCompleteTarga(picturePath, whole.problem);
    }
    writeMap(tree, map);
    return {at, replace, before ? std::optional<std::size_t>(previewAt + 1) : std::nullopt};
}

void extractPreview(const std::wstring& targaPath, const std::wstring& mapPath) {
    reportFailures([&] {
        if (runExtraction(targaPath, mapPath) == PreviewResult::NoPreview)
            showMessage(loadResourceString(IDS_NO_PREVIEW), MESSAGE_ICON_ERROR);
    });
}
