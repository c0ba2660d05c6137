#include "fuzz_support.h"
#include "utf8.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder() {
    std::error_code error;
    const fs::path base =
        fs::is_directory("/dev/shm", error) ? fs::path("/dev/shm") : fs::temp_directory_path();
    // The process id lets a script that started the target clear up after a run that
    // ended without destructors (a finding, or libFuzzer's time limit).
    std::string pattern = (base / ("mpe-fuzz-" + std::to_string(getpid()) + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
        fail("cannot create a scratch folder in " + base.string());
    root = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root, ignored);
}

std::wstring ScratchFolder::file(const std::wstring& name) const {
    return fromUtf8(root) + L"/" + name;
}

std::set<std::string> ScratchFolder::names() const {
    std::set<std::string> result;
    for (const auto& entry : fs::directory_iterator(root))
        result.insert(entry.path().filename().string());
    return result;
}

void writeBytes(const std::wstring& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(toUtf8(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out)
        fail("cannot write " + toUtf8(path));
}

Bytes readBytes(const std::wstring& path) {
    std::ifstream in(toUtf8(path), std::ios::binary);
    if (!in)
        fail("cannot read " + toUtf8(path));
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool pathExists(const std::wstring& path) {
    std::error_code ignored;
    return fs::exists(toUtf8(path), ignored);
}

void fail(const std::string& what) {
    std::fprintf(stderr, "\n*** %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

std::string narrow(const std::wstring& text) {
    return toUtf8(text);
}
