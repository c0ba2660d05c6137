#include "interruption.h"
#include "tedchunk.h"
#include "utf8.h"

#include <csignal>

int main(int argc, char** argv) {
    removePendingFilesOnInterruption();
    // A reader that went away (`tedchunk ... | head -1`) does not end the batch: the
    // writes fail, unnoticed, and every map is still done.
    std::signal(SIGPIPE, SIG_IGN);
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(fromUtf8(argv[i]));
    return runTedchunk(arguments);
}
