#include "safe_rewrite.h"
#include "file_system.h"
#include "wexception.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr int NAME_ATTEMPTS = 64;

// A short name, so that a map path close to the platform's limit still leaves room.
std::wstring temporaryNameBeside(const std::wstring& target, unsigned seed) {
    wchar_t name[16];
    std::swprintf(name, 16, L"~mp%05x.tmp", seed & 0xFFFFFu);
    return filesystem_ops::folderOf(target) + name;
}

std::wstring createTemporaryBeside(const std::wstring& target) {
    auto seed =
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count() / 1000);
    for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt, seed = seed * 1103515245u + 12345u) {
        const std::wstring candidate = temporaryNameBeside(target, seed >> 8);
        if (filesystem_ops::createNewFile(candidate))
            return candidate;
    }
    return std::wstring();
}

void writeAndFlush(PhysicalFile& file, const std::function<void(PhysicalFile&)>& writeContent) {
    writeContent(file);
    if (!file.flush())
        throw WriteException();
}

// Removes the temporary file unless it was put in place.
class TemporaryFile {
public:
    explicit TemporaryFile(std::wstring p) : path(std::move(p)) {}
    ~TemporaryFile() {
        if (!path.empty())
            filesystem_ops::removeFile(path);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    void release() { path.clear(); }

    std::wstring path;
};

} // namespace

void rewriteFileSafely(const std::wstring& path,
                       const std::function<void(PhysicalFile&)>& writeContent) {
    const std::wstring target = filesystem_ops::replaceablePath(path);
    filesystem_ops::requireWritable(target, path);

    TemporaryFile temporary(createTemporaryBeside(target));
    if (temporary.path.empty()) {
        // The folder takes no new file although the map itself is writable.
        PhysicalFile inPlace(OPEN_WRITE, path);
        writeAndFlush(inPlace, writeContent);
        return;
    }
    {
        PhysicalFile replacement(OPEN_WRITE, temporary.path);
        writeAndFlush(replacement, writeContent);
    }
    filesystem_ops::copyPermissions(target, temporary.path);
    if (!filesystem_ops::replaceFile(target, temporary.path)) {
        // Whatever happened, a complete map must remain: keep the new one if the old
        // one is gone.
        if (!filesystem_ops::exists(target))
            temporary.release();
        throw openFailure(path);
    }
    temporary.release();
}
