#include "interruption.h"
#include "native.h"

#include <atomic>

namespace {

// At most the preview's and the map's temporary files are pending at once.
constexpr int SLOTS = 4;
std::atomic<const native::Char*> pending[SLOTS];

} // namespace

struct PendingFile::Name {
    std::basic_string<native::Char> text;
};

PendingFile::PendingFile(const std::wstring& path)
    : name(std::make_unique<Name>(Name{native::nameOf(path)})) {
    for (auto& slot : pending) {
        const native::Char* free = nullptr;
        if (slot.compare_exchange_strong(free, name->text.c_str()))
            return;
    }
}

PendingFile::~PendingFile() {
    for (auto& slot : pending) {
        const native::Char* mine = name->text.c_str();
        slot.compare_exchange_strong(mine, nullptr);
    }
}

void removePendingFiles() {
    for (auto& slot : pending) {
        if (const native::Char* name = slot.load())
            native::removeNow(name);
    }
}
