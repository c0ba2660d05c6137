#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

// Exceptions that carry a wide message. They have no virtual members: catch them by
// reference to wexception and read `message`.
class wexception {
public:
    explicit wexception(std::wstring text) : message(std::move(text)) {}
    // A message that ends with the name of a file, so that a front end can tell the name
    // from the text ("Unable to open file:\n" and the path).
    wexception(const std::wstring& text, const std::wstring& name)
        : message(text + name), nameLength(name.size()) {}

    std::wstring message;
    std::size_t nameLength = 0; // how many characters at the end of `message` are a name
};

class wruntime_error : public wexception {
public:
    using wexception::wexception;
};

class IOException : public wruntime_error {
public:
    using wruntime_error::wruntime_error;
};

class FileNotFoundException : public IOException {
public:
    using IOException::IOException;
};

class ReadException : public IOException {
public:
    ReadException() : IOException(L"Unable to read file") {}
};

class WriteException : public IOException {
public:
    WriteException() : IOException(L"Unable to write file") {}
};

inline IOException openFailure(const std::wstring& path) {
    return IOException(L"Unable to open file:\n", path);
}

inline FileNotFoundException notFound(const std::wstring& path) {
    return FileNotFoundException(L"Unable to find file:\n", path);
}

// A file that another program holds, so that it could not be replaced: it is unchanged.
class FileHeldException : public IOException {
public:
    explicit FileHeldException(const std::wstring& path)
        : IOException(L"Unable to open file:\n", path) {}
};
// The refusal of a memory budget of `available` bytes, which the map would pass.
inline wruntime_error notEnoughMemory(std::uint64_t available) {
    return wruntime_error(L"Not enough memory to hold the map: it needs more than the " +
                          std::to_wstring(available >> 20) + L" MiB that are available.");
}
