#include "interruption.h"

#include <atomic>
#include <stdexcept>

namespace {

// Enough for the preview's and the map's temporary files, the most a run has at once.
constexpr int SLOTS = 4;
std::atomic<const PendingFile::Entry*> pending[SLOTS];

} // namespace

PendingFile::PendingFile(FileHandle::Type folder, const native::Char* name) : entry{folder, name} {
    for (auto& slot : pending) {
        const PendingFile::Entry* free = nullptr;
        if (slot.compare_exchange_strong(free, &entry))
            return;
    }
    // Never reached while a run has at most two pending files; an unregistered file would
    // silently outlive an interruption if that changed.
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
