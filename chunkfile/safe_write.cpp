#include "safe_write.h"
#include "file_system.h"
#include "interruption.h"
#include "wexception.h"

#include <chrono>
#include <cstdio>
#include <memory>

namespace {

constexpr int NAME_ATTEMPTS = 64;

// A short name, so that a path close to the platform's limit still leaves room.
std::wstring temporaryNameBeside(const std::wstring& target, unsigned seed) {
    wchar_t name[16];
    std::swprintf(name, 16, L"~mp%05x.tmp", seed & 0xFFFFFu);
    return filesystem_ops::folderOf(target) + name;
}

// A new, empty file beside the target, removed when the object goes (or the run is
// interrupted) unless it is kept. No file at all when the folder takes none.
class TemporaryFile {
public:
    TemporaryFile(const std::wstring& target, const std::wstring& shownPath) {
        auto seed = static_cast<unsigned>(
            std::chrono::steady_clock::now().time_since_epoch().count() / 1000);
        for (int attempt = 0; attempt < NAME_ATTEMPTS;
             ++attempt, seed = seed * 1103515245u + 12345u) {
            const std::wstring candidate = temporaryNameBeside(target, seed >> 8);
            const InterruptionsHeld held;
            switch (filesystem_ops::createNewFile(candidate, shownPath)) {
            case filesystem_ops::Creation::Created:
                path = candidate;
                pending = std::make_unique<PendingFile>(path);
                return;
            case filesystem_ops::Creation::FolderRefuses:
                return;
            case filesystem_ops::Creation::NameTaken:
                break;
            }
        }
        throw openFailure(shownPath);
    }
    ~TemporaryFile() {
        if (path.empty())
            return;
        const InterruptionsHeld held;
        filesystem_ops::removeFile(path);
        pending.reset();
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Leaves the file where it is; call while interruptions are held.
    void keep() {
        pending.reset();
        path.clear();
    }

    std::wstring path;

private:
    std::unique_ptr<PendingFile> pending;
};

void writeAndFlush(PhysicalFile& file, const std::function<void(PhysicalFile&)>& writeContent) {
    writeContent(file);
    if (!file.flush())
        throw WriteException();
}

} // namespace

void writeFileSafely(const std::wstring& path, WriteTarget target,
                     const std::function<void(PhysicalFile&)>& writeContent) {
    const std::wstring replaceable = filesystem_ops::replaceablePath(path);
    const filesystem_ops::Target found = filesystem_ops::inspectTarget(replaceable, path);
    if (found == filesystem_ops::Target::Missing && target == WriteTarget::ExistingFile)
        throw notFound(path);

    TemporaryFile temporary(replaceable, path);
    if (temporary.path.empty()) {
        // The folder takes no new file; the file itself may still be writable.
        PhysicalFile inPlace(OPEN_WRITE, path);
        writeAndFlush(inPlace, writeContent);
        return;
    }
    {
        PhysicalFile replacement(OPEN_WRITE | OPEN_TEMPORARY, temporary.path);
        writeAndFlush(replacement, writeContent);
    }
    filesystem_ops::copyPermissions(replaceable, temporary.path);
    const InterruptionsHeld held;
    if (filesystem_ops::replaceFile(replaceable, temporary.path)) {
        temporary.keep();
        return;
    }
    // Whatever happened, a complete file must remain: keep the new one if the old one
    // is gone.
    if (found == filesystem_ops::Target::PlainFile && !filesystem_ops::exists(replaceable))
        temporary.keep();
    throw openFailure(path);
}
