#pragma once

#include "unique_handle.h"

#include <cstdint>
#include <string>

// An open file of the platform, owned once, and a name as the platform's calls take it.
#ifdef _WIN32
struct FileHandleTraits {
    using Type = void*; // HANDLE
    static Type invalid() { return reinterpret_cast<Type>(static_cast<std::intptr_t>(-1)); }
    static void close(Type handle);
};
#else
struct FileHandleTraits {
    using Type = int; // a file descriptor
    static Type invalid() { return -1; }
    static void close(Type descriptor);
};
#endif
using FileHandle = UniqueHandle<FileHandleTraits>;

namespace native {
#ifdef _WIN32
using Char = wchar_t;
#else
using Char = char;
#endif
using Name = std::basic_string<Char>;
} // namespace native
