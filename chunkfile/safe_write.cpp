#include "safe_write.h"
#include "file_system.h"
#include "interruption.h"
#include "native.h"
#include "wexception.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <random>
#include <vector>

namespace {

std::uint64_t randomNameNumber() {
    static std::random_device source;
    return (std::uint64_t(source()) << 32) ^ source();
}

} // namespace

void (*afterTemporaryFileCreated)(const std::wstring& path) = nullptr;
void (*whileReplacing)() = nullptr;
std::uint64_t (*temporaryNameNumber)() = randomNameNumber;

namespace {

using namespace filesystem_ops;

// Names are drawn from 2^48: a run of taken names this long means that someone has
// filled the folder with them on purpose, or that it holds more than it can list.
constexpr int NAME_ATTEMPTS = 64;

std::wstring nameOf(const std::wstring& path) {
    return path.substr(folderOf(path).size());
}

// A new, empty file beside `place`, removed when the object goes (or the run is
// interrupted) unless it is kept. No file at all when the folder takes none.
class TemporaryFile {
public:
    TemporaryFile(const Place& beside, const std::wstring& shownPath, NewFileAccess access)
        : place(beside) {
        for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
            wchar_t candidate[24];
            std::swprintf(
                candidate, 24, L"~mp%012llx.tmp",
                static_cast<unsigned long long>(temporaryNameNumber() & 0xFFFFFFFFFFFFull));
            shown = folderOf(place.shown) + candidate;
            name = filesystem_ops::beside(place, candidate);
            const InterruptionsHeld held;
            pending.emplace(place.folder.get(), name.c_str());
            NewFile created = createNew(place, name, access);
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
        throw IOException(L"The folder holds too many temporary files to take another "
                          L"(~mp*.tmp):\n",
                          folderOf(place.shown).empty() ? L"." : folderOf(place.shown));
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

// Copies all of `from`, a map, to `to` and flushes it. Stops at the first short read
// (ReadException) or short write (WriteException); a file that changes its size while it is
// copied (one that grows past 4 GiB would never end) is refused as one that cannot be read.
void copyWhole(PhysicalFile& from, PhysicalFile& to) {
    const std::uint64_t size = from.fullSize();
    if (size > 0xFFFFFFFFu)
        throw ReadException();
    std::vector<std::uint8_t> buffer;
    // Short: the copy took less (a full disk, a size limit), or the file gave less.
    if (native::copyRange(from.handle(), 0, to.handle(), 0, size, buffer) != size &&
        from.fullSize() == size)
        throw WriteException();
    if (from.fullSize() != size || to.fullSize() != size)
        throw ReadException();
    if (!to.flush())
        throw WriteException();
}

// Rewrites `original` in place, with interruptions held until it is flushed, and gives it
// back what the write took away (security.capability, the set-user and set-group bits)
// where this user may.
void rewrite(PhysicalFile& original, const Identity& identity,
             const std::function<void(PhysicalFile&)>& writeContent) {
    const InterruptionsHeld held;
    if (!original.truncate())
        throw WriteException();
    writeAndFlush(original, writeContent);
    giveIdentity(identity, original.handle());
}

// Rewrites `existing` in place once a complete copy of it is flushed: beside it, or in the
// system's temporary folder when its folder takes no new file. The copy goes when the
// rewrite is done; when the rewrite fails, it stays under a name that says what it is, and
// the message names it. Where no copy can be made, the file is left as it is.
void rewriteAfterCopy(const Place& place, const std::wstring& path, FileHandle existing,
                      const Identity& identity,
                      const std::function<void(PhysicalFile&)>& writeContent,
                      const std::function<void()>& verify,
                      const std::function<void(PhysicalFile&)>& beforeInPlace) {
    PhysicalFile original(std::move(existing));
    std::optional<Place> elsewhere; // before the copy, which holds on to it
    std::optional<TemporaryFile> copy;
    copy.emplace(place, path, NewFileAccess::CreatorOnly);
    if (!copy->file && (elsewhere = temporaryFolderPlace(nameOf(place.shown))))
        copy.emplace(*elsewhere, path, NewFileAccess::CreatorOnly);
    if (!copy->file)
        throw IOException(L"No copy of the file can be made before it is rewritten: neither its "
                          L"folder nor the temporary folder takes a new file. It is unchanged:\n",
                          path);
    giveCopyAccess(identity, copy->file->handle());
    copyWhole(original, *copy->file);
    flushFolder(copy->place);
    if (beforeInPlace)
        beforeInPlace(*copy->file);
    const InterruptionsHeld held;
    verify(); // before the rewrite, which is no longer "the copy failed"
    try {
        rewrite(original, identity, writeContent);
    } catch (...) {
        const std::wstring kept = copy->keepAs(nameOf(copy->place.shown) + L".original");
        throw IOException(L"Unable to write file\nThe file is now incomplete. A copy of it as it "
                          L"was before is saved as:\n",
                          kept);
    }
}

// The file at `place`, opened for writing; for ExistingFile, only if it is still `source`.
FileHandle openTarget(const Place& place, const std::wstring& path, WriteTarget target,
                      const HeldFile* source) {
    if (target == WriteTarget::NewFile)
        return FileHandle();
    if (target == WriteTarget::ExistingFile) {
        const std::optional<FileStamp> named = stampAt(place);
        if (!named || !named->isSameFile(source->stamp))
            throw changedWhileRead(path);
    }
    FileHandle existing = openExisting(place, path);
    if (target == WriteTarget::ExistingFile) {
        const std::optional<FileStamp> opened = existing ? stampOf(existing.get()) : std::nullopt;
        if (!opened || !opened->isSameFile(source->stamp))
            throw changedWhileRead(path);
    }
    return existing;
}

} // namespace

bool writeFileSafely(const Place& place, const std::wstring& path, WriteTarget target,
                     const std::function<void(PhysicalFile&)>& writeContent, HeldFile* source,
                     const std::function<void(PhysicalFile&)>& beforeInPlace) {
    FileHandle existing = openTarget(place, path, target, source);
    std::optional<Identity> identity;
    if (existing && !(identity = identityOf(existing.get())))
        throw openFailure(path); // what it is cannot be told, so it cannot be kept
    // Just before the old file is replaced or cut: what was read is as it was, and for a
    // rewrite, the name still holds it.
    const auto verify = [&] {
        if (source)
            checkUnchanged(*source);
        const std::optional<FileStamp> named =
            target == WriteTarget::ExistingFile ? stampAt(place) : std::nullopt;
        if (target == WriteTarget::ExistingFile && (!named || !named->isSameFile(source->stamp)))
            throw changedWhileRead(path);
    };
    // A new file in its place would split a file with several links from the others.
    if (!existing || identity->links == 1) {
        TemporaryFile temporary(
            place, path, existing ? NewFileAccess::CreatorOnly : NewFileAccess::AsAnyNewFile);
        if (!temporary.file && !existing) {
            if (target == WriteTarget::NewFile && stampAt(place))
                return false;
            throw openFailure(path);
        }
        if (temporary.file) {
            writeAndFlush(*temporary.file, writeContent);
            if (!existing || giveIdentity(*identity, temporary.file->handle())) {
                existing.reset(); // no handle of ours may stand in the replace's way
                const InterruptionsHeld held;
                verify();
                if (whileReplacing)
                    whileReplacing();
                switch (
                    replace(place, temporary.name, temporary.file->release(),
                            target == WriteTarget::NewFile ? Existing::Keep : Existing::Replace)) {
                case Replacement::Done:
                    temporary.keep();
                    // The old map has no name left: its space is freed while we go on.
                    if (target == WriteTarget::ExistingFile)
                        native::closeInBackground(source->file.release());
                    return true;
                case Replacement::NameTaken:
                    return false;
                case Replacement::OnlyReplacementLeft:
                    // The old file is gone: the new one, complete, must stay.
                    temporary.keep();
                    throw IOException(L"The old file was moved away, but the new one could not "
                                      L"take its place. It is complete and saved as:\n",
                                      temporary.shown);
                case Replacement::Held:
                    throw FileHeldException(path);
                case Replacement::Refused:
                    throw openFailure(path);
                case Replacement::NotReplaceable:
                    // Windows: the file is named again.
                    existing = openTarget(place, path, target, source);
                    if (!existing)
                        throw openFailure(path);
                    break;
                }
            }
        }
    }
    rewriteAfterCopy(place, path, std::move(existing), *identity, writeContent, verify,
                     beforeInPlace);
    return true;
}

void writeFileSafely(HeldFile& file, const std::function<void(PhysicalFile&)>& writeContent,
                     const std::function<void(PhysicalFile&)>& beforeInPlace) {
    writeFileSafely(file.place, file.path, WriteTarget::ExistingFile, writeContent, &file,
                    beforeInPlace);
}

bool writeFileSafely(const std::wstring& path, WriteTarget target,
                     const std::function<void(PhysicalFile&)>& writeContent,
                     const std::function<void(PhysicalFile&)>& beforeInPlace) {
    if (target != WriteTarget::ExistingFile)
        return writeFileSafely(locate(path, path), path, target, writeContent);
    HeldFile file = holdFile(path);
    writeFileSafely(file, writeContent, beforeInPlace);
    return true;
}
