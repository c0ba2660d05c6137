#include "preview.h"
#include "chunk_tree.h"
#include "file_system.h"
#include "report_failures.h"
#include "safe_write.h"
#include "string_table.h"
#include "text_ids.h"
#include "wexception.h"

namespace {

constexpr std::uint32_t PREVIEW_CHUNK_TYPE = 19;

// The first top-level type-19 chunk if it holds data; later ones are not looked at.
ChunkNode::ChildEntry* findPreview(ChunkNode& root) {
    auto entry = root.children.begin();
    while (entry != root.children.end() && entry->type != PREVIEW_CHUNK_TYPE)
        ++entry;
    if (entry == root.children.end() || entry->child->isContainer())
        return root.children.end();
    return entry;
}

// Saves the body of the first top-level type-19 chunk to `targaPath` (created, or
// replaced as a whole once the new content is on disk) and removes that chunk from the
// tree. False, with nothing written, when there is no such chunk or the first one is a
// container.
bool takePreview(ChunkNode& root, const std::wstring& targaPath) {
    const auto entry = findPreview(root);
    if (entry == root.children.end())
        return false;
    const ChunkNode& preview = *entry->child;
    // A preview that did not reach the disk must not be removed from the map.
    writeFileSafely(targaPath, WriteTarget::NewOrExisting, [&](PhysicalFile& targa) {
        if (targa.write(preview.data, preview.size) != preview.size)
            throw WriteException();
    });
    root.children.erase(entry);
    return true;
}

} // namespace

PreviewResult runExtraction(const std::wstring& targaPath, const std::wstring& mapPath,
                            MapChange change, ExistingTarga existing,
                            const std::function<void()>& previewSaved) {
    ChunkTree tree = loadChunkFile(mapPath);
    ChunkNode& root = tree.root();
    if (filesystem_ops::isSameFile(targaPath, mapPath))
        throw wruntime_error(L"The preview file must not be the map file itself.");
    if (existing == ExistingTarga::Refuse && findPreview(root) != root.children.end() &&
        filesystem_ops::exists(targaPath))
        throw wruntime_error(L"The preview file already exists:\n" + targaPath);
    if (!takePreview(root, targaPath))
        return PreviewResult::NoPreview;
    if (previewSaved)
        previewSaved();
    if (change == MapChange::RemovePreview)
        writeFileSafely(mapPath, WriteTarget::ExistingFile,
                        [&](PhysicalFile& file) { writeChunkTree(root, file); });
    return PreviewResult::Extracted;
}

void extractPreview(const std::wstring& targaPath, const std::wstring& mapPath) {
    reportFailures([&] {
        if (runExtraction(targaPath, mapPath) == PreviewResult::NoPreview)
            showMessage(loadResourceString(IDS_NO_PREVIEW), MESSAGE_ICON_ERROR);
    });
}
