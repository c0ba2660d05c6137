#include "held_file.h"

using namespace filesystem_ops;

HeldFile holdFile(const std::wstring& path) {
    Place place = locate(path, path);
    FileHandle file = openForReading(place, path);
    if (!file)
        throw notFound(path);
    const std::optional<FileStamp> stamp = stampOf(file.get());
    if (!stamp)
        throw openFailure(path);
    return HeldFile{path, std::move(place), PhysicalFile(std::move(file)), *stamp};
}

void checkUnchanged(HeldFile& held) {
    const std::optional<FileStamp> now = stampOf(held.file.handle());
    if (!now || !(*now == held.stamp))
        throw changedWhileRead(held.path);
}

std::optional<FileStamp> stampOfPath(const std::wstring& path) {
    try {
        return stampAt(locate(path, path));
    } catch (const wexception&) {
        return std::nullopt;
    }
}
