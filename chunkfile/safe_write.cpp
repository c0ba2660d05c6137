#include "safe_write.h"
#include "file_system.h"
#include "interruption.h"
#include "native.h"
#include "wexception.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <vector>

void (*afterTemporaryFileCreated)(const std::wstring& path) = nullptr;

namespace {

using namespace filesystem_ops;

constexpr int NAME_ATTEMPTS = 64;

std::wstring nameOf(const std::wstring& path) {
    return path.substr(folderOf(path).size());
}

// A new, empty file beside `place`, removed when the object goes (or the run is
// interrupted) unless it is kept. No file at all when the folder takes none.
class TemporaryFile {
public:
    TemporaryFile(const Place& beside, const std::wstring& shownPath) : place(beside) {
        auto seed = static_cast<unsigned>(
            std::chrono::steady_clock::now().time_since_epoch().count() / 1000);
        for (int attempt = 0; attempt < NAME_ATTEMPTS;
             ++attempt, seed = seed * 1103515245u + 12345u) {
            // A short name, so that a path close to the platform's limit still leaves room.
            wchar_t candidate[16];
            std::swprintf(candidate, 16, L"~mp%05x.tmp", (seed >> 8) & 0xFFFFFu);
            shown = folderOf(place.shown) + candidate;
            name = filesystem_ops::beside(place, candidate);
            const InterruptionsHeld held;
            pending.emplace(place.folder.get(), name.c_str());
            NewFile created = createNew(place, name);
            if (created.outcome == Creation::Created) {
                file.emplace(std::move(created.file));
                if (afterTemporaryFileCreated)
                    afterTemporaryFileCreated(shown);
                return;
            }
            pending.reset();
            name.clear();
            if (created.outcome == Creation::FolderRefuses)
                return;
            if (created.outcome == Creation::Failed)
                native::throwOpenFailure(shownPath);
        }
        throw openFailure(shownPath);
    }
    ~TemporaryFile() {
        if (name.empty())
            return;
        const InterruptionsHeld held;
        remove(place, name);
        pending.reset();
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Leaves the file where it is; call while interruptions are held.
    void keep() {
        pending.reset();
        name.clear();
    }

    // Leaves the file under `wanted` (or its own name when that is taken) and returns its
    // path; call while interruptions are held.
    std::wstring keepAs(const std::wstring& wanted) {
        if (renameToFree(place, name, filesystem_ops::beside(place, wanted)))
            shown = folderOf(shown) + wanted;
        keep();
        return shown;
    }

    const Place& place;
    native::Name name;
    std::wstring shown;
    std::optional<PendingFile> pending;
    std::optional<PhysicalFile> file;
};

void writeAndFlush(PhysicalFile& file, const std::function<void(PhysicalFile&)>& writeContent) {
    writeContent(file);
    if (!file.flush())
        throw WriteException();
}

void copyWhole(PhysicalFile& from, PhysicalFile& to) {
    std::vector<std::uint8_t> buffer;
    const std::uint64_t size = from.fullSize();
    if (native::copyRange(from.handle(), 0, to.handle(), 0, size, buffer) != size ||
        to.fullSize() != size || !to.flush())
        throw WriteException();
}

// Rewrites `original` in place, with interruptions held until it is flushed.
void rewrite(PhysicalFile& original, const std::function<void(PhysicalFile&)>& writeContent) {
    const InterruptionsHeld held;
    if (!original.truncate())
        throw WriteException();
    writeAndFlush(original, writeContent);
}

// Rewrites `original` in place once a complete copy of it is flushed in `copy`. The copy
// goes when the rewrite is done; when the rewrite fails, it stays under a name that says
// what it is, and the message names it.
void rewriteAfterCopy(PhysicalFile& original, TemporaryFile& copy,
                      const std::function<void(PhysicalFile&)>& writeContent,
                      const std::function<void(PhysicalFile*)>& beforeInPlace) {
    giveGroupAndMode(original.handle(), copy.file->handle());
    copyWhole(original, *copy.file);
    flushFolder(copy.place);
    if (beforeInPlace)
        beforeInPlace(&*copy.file);
    const InterruptionsHeld held;
    try {
        rewrite(original, writeContent);
    } catch (...) {
        const std::wstring kept = copy.keepAs(nameOf(copy.place.shown) + L".original");
        throw IOException(L"Unable to write file\nThe file is now incomplete. A copy of it as it "
                          L"was before is saved as:\n",
                          kept);
    }
}

} // namespace

void writeFileSafely(const std::wstring& path, WriteTarget target,
                     const std::function<void(PhysicalFile&)>& writeContent,
                     const std::function<void(PhysicalFile*)>& beforeInPlace) {
    const Place place = locate(path, path);
    FileHandle existing = openExisting(place, path);
    if (!existing && target == WriteTarget::ExistingFile)
        throw notFound(path);

    TemporaryFile temporary(place, path);
    if (!temporary.file) {
        // The folder takes no new file; the file itself may still be writable.
        if (!existing)
            throw openFailure(path);
        PhysicalFile inPlace(std::move(existing));
        if (beforeInPlace)
            beforeInPlace(nullptr);
        rewrite(inPlace, writeContent);
        return;
    }
    const FileHandle::Type replacement = temporary.file->handle();
    if (!existing) {
        giveNewFileMode(replacement);
    } else if (!giveIdentity(existing.get(), replacement)) {
        PhysicalFile original(std::move(existing));
        rewriteAfterCopy(original, temporary, writeContent, beforeInPlace);
        return;
    }
    existing.reset(); // no handle of ours may stand in the replace's way
    writeAndFlush(*temporary.file, writeContent);
    const InterruptionsHeld held;
    switch (replace(place, temporary.name, temporary.file->release())) {
    case Replacement::Done:
        temporary.keep();
        return;
    case Replacement::OnlyReplacementLeft:
        temporary.keep(); // the old file is gone: the new one, complete, must stay
        break;
    case Replacement::Refused:
        break;
    }
    throw openFailure(path);
}
