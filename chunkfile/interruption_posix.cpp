#include "interruption.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

const int INTERRUPTIONS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t interruptions() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : INTERRUPTIONS)
        sigaddset(&set, signal);
    return set;
}

void onInterruption(int signal) {
    interruption_detail::removePendingFiles();
    // The default action is back (SA_RESETHAND): the signal, raised again, ends the
    // program as it would have without this handler.
    std::raise(signal);
}

// Held sections may nest; the signals are blocked by the outermost one only.
int heldDepth = 0;
sigset_t maskBeforeHolding;

} // namespace

void removePendingFilesOnInterruption() {
    struct sigaction action {};
    action.sa_handler = onInterruption;
    action.sa_mask = interruptions();
    action.sa_flags = SA_RESETHAND;
    for (const int signal : INTERRUPTIONS) {
        struct sigaction before {};
        // A signal ignored from the start (nohup) stays ignored.
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(signal, &action, nullptr);
    }
    std::signal(SIGXFSZ, SIG_IGN);
}

InterruptionsHeld::InterruptionsHeld() {
    if (heldDepth++ == 0) {
        const sigset_t set = interruptions();
        sigprocmask(SIG_BLOCK, &set, &maskBeforeHolding);
    }
}

InterruptionsHeld::~InterruptionsHeld() {
    if (--heldDepth == 0)
        sigprocmask(SIG_SETMASK, &maskBeforeHolding, nullptr);
}

void interruption_detail::removeNow(const PendingFile::Entry& file) {
    ::unlinkat(file.folder, file.name, 0);
}
