#include "interruption.h"

#include <atomic>
#include <stdexcept>

namespace {

// A run has one pending file at a time: the Targa file's temporary file, then the map's,
// or the copy made before the map is rewritten in place. The other slots are to spare.
constexpr int SLOTS = 4;
std::atomic<const PendingFile::Entry*> pending[SLOTS];

} // namespace

PendingFile::PendingFile(FileHandle::Type folder, const native::Char* name) : entry{folder, name} {
    for (auto& slot : pending) {
        const PendingFile::Entry* free = nullptr;
        if (slot.compare_exchange_strong(free, &entry))
            return;
    }
    // Never reached while a run keeps fewer files pending than there are slots; an
    // unregistered file would silently outlive an interruption if that changed.
    throw std::runtime_error("too many files pending at once");
}

PendingFile::~PendingFile() {
    for (auto& slot : pending) {
        const PendingFile::Entry* mine = &entry;
        slot.compare_exchange_strong(mine, nullptr);
    }
}

void interruption_detail::removePendingFiles() {
    for (auto& slot : pending) {
        if (const PendingFile::Entry* file = slot.load())
            removeNow(*file);
    }
}
