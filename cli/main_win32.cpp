#include "interruption.h"
#include "tedchunk.h"

int wmain(int argc, wchar_t** argv) {
    removePendingFilesOnInterruption();
    return runTedchunk(std::vector<std::wstring>(argv + 1, argv + argc));
}
