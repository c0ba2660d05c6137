#include "safe_write.h"
#include "file_system.h"
#include "interruption.h"
#include "native.h"
#include "wexception.h"

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
constexpr std::uint32_t COPY_STEP = 1 << 20;

std::wstring nameOf(const std::wstring& path) {
    return path.substr(folderOf(path).size());
}

// A new, empty file beside `place`, removed when the object goes (or the run is
// interrupted) unless it is kept. No file at all when the folder takes none.
class TemporaryFile {
public:
    TemporaryFile(const Place& beside, const std::wstring& shownPath) : place(beside) {
        for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
            wchar_t candidate[24];
            std::swprintf(
                candidate, 24, L"~mp%012llx.tmp",
                static_cast<unsigned long long>(temporaryNameNumber() & 0xFFFFFFFFFFFFull));
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

void copyWhole(PhysicalFile& from, PhysicalFile& to) {
    std::vector<char> buffer(COPY_STEP);
    while (const std::uint32_t got = from.read(buffer.data(), COPY_STEP))
        to.write(buffer.data(), got);
    // A failed write moves nothing, so the copy comes out short.
    if (to.fullSize() != from.fullSize() || !to.flush())
        throw WriteException();
}

// Rewrites `original` in place, with interruptions held until it is flushed, once
// `verify` has found the source of the content as it was.
void rewrite(PhysicalFile& original, const std::function<void(PhysicalFile&)>& writeContent,
             const std::function<void()>& verify) {
    const InterruptionsHeld held;
    verify();
    if (!original.truncate())
        throw WriteException();
    writeAndFlush(original, writeContent);
}

// Rewrites `original` in place once a complete copy of it is flushed in `copy`. The copy
// goes when the rewrite is done; when the rewrite fails, it stays under a name that says
// what it is, and the message names it.
void rewriteAfterCopy(PhysicalFile& original, TemporaryFile& copy,
                      const std::function<void(PhysicalFile&)>& writeContent,
                      const std::function<void()>& verify) {
    giveGroupAndMode(original.handle(), copy.file->handle());
    copyWhole(original, *copy.file);
    flushFolder(copy.place);
    const InterruptionsHeld held;
    verify(); // before the rewrite, which is no longer "the copy failed"
    try {
        rewrite(original, writeContent, [] {});
    } catch (...) {
        const std::wstring kept = copy.keepAs(nameOf(copy.place.shown) + L".original");
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
                     const std::function<void(PhysicalFile&)>& writeContent, HeldFile* source) {
    FileHandle existing = openTarget(place, path, target, source);
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

    TemporaryFile temporary(place, path);
    if (!temporary.file) {
        // The folder takes no new file; the file itself may still be writable.
        if (target == WriteTarget::NewFile && stampAt(place))
            return false;
        if (!existing)
            throw openFailure(path);
        PhysicalFile inPlace(std::move(existing));
        rewrite(inPlace, writeContent, verify);
        return true;
    }
    const FileHandle::Type replacement = temporary.file->handle();
    if (!existing) {
        giveNewFileMode(replacement);
    } else if (!giveIdentity(existing.get(), replacement)) {
        PhysicalFile original(std::move(existing));
        rewriteAfterCopy(original, temporary, writeContent, verify);
        return true;
    }
    existing.reset(); // no handle of ours may stand in the replace's way
    writeAndFlush(*temporary.file, writeContent);
    verify();
    if (target == WriteTarget::ExistingFile)
        source->file.release();
    const InterruptionsHeld held;
    if (whileReplacing)
        whileReplacing();
    switch (replace(place, temporary.name, temporary.file->release(),
                    target == WriteTarget::NewFile ? Existing::Keep : Existing::Replace)) {
    case Replacement::Done:
        temporary.keep();
        return true;
    case Replacement::NameTaken:
        return false;
    case Replacement::OnlyReplacementLeft:
        temporary.keep(); // the old file is gone: the new one, complete, must stay
        break;
    case Replacement::Refused:
        break;
    }
    throw openFailure(path);
}

void writeFileSafely(HeldFile& file, const std::function<void(PhysicalFile&)>& writeContent) {
    writeFileSafely(file.place, file.path, WriteTarget::ExistingFile, writeContent, &file);
}

bool writeFileSafely(const std::wstring& path, WriteTarget target,
                     const std::function<void(PhysicalFile&)>& writeContent) {
    if (target != WriteTarget::ExistingFile)
        return writeFileSafely(locate(path, path), path, target, writeContent);
    HeldFile file = holdFile(path);
    writeFileSafely(file, writeContent);
    return true;
}
