#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A folder of the fuzz target's own, in RAM (/dev/shm) where there is one, so that
// the real file calls, flushes included, cost next to nothing. Removed at exit.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::wstring file(const std::wstring& name) const;
    // The names in the folder, sorted.
    std::set<std::string> names() const;

private:
    std::string root;
};

void writeBytes(const std::wstring& path, const std::uint8_t* data, std::size_t size);
Bytes readBytes(const std::wstring& path);
bool pathExists(const std::wstring& path);

// Prints what went wrong and aborts, which libFuzzer reports with the input.
[[noreturn]] void fail(const std::string& what);
std::string narrow(const std::wstring& text);
