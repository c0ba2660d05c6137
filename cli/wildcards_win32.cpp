#include "file_system.h"
#include "unique_handle.h"
#include "wildcards.h"
#include "win32_path.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace {

bool hasWildcards(const std::wstring& argument) {
    return !isDevicePath(argument) && argument.find_first_of(L"*?") != std::wstring::npos;
}

struct SearchTraits {
    using Type = HANDLE;
    static Type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Type search) { FindClose(search); }
};

bool sameLetter(wchar_t a, wchar_t b) {
    return CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL;
}

// A name pattern as `dir` reads it, letter case aside: "*" for any run of characters and
// "?" for any one, except that a "*" before a dot stops at the name's last dot, a dot
// before "*", "?" or the pattern's end also matches the end of a name that has no dot, and
// a run of "?" at a dot or the end matches nothing there. So "*.*" is every name, "*." a
// name without an extension, and "a?.ted" also "a.ted".
bool matches(const wchar_t* name, const wchar_t* pattern, const wchar_t* lastDot) {
    while (*pattern) {
        const wchar_t letter = *pattern++;
        if (letter == L'*') {
            const wchar_t* limit =
                *pattern == L'.' && lastDot && name <= lastDot ? lastDot : name + std::wcslen(name);
            for (const wchar_t* rest = name; rest <= limit; ++rest)
                if (matches(rest, pattern, lastDot))
                    return true;
            return false;
        }
        if (letter == L'?' && (!*name || *name == L'.')) {
            while (*pattern == L'?')
                ++pattern;
        } else if (letter == L'.' && !*name &&
                   (!*pattern || *pattern == L'*' || *pattern == L'?')) {
            // the end of a name without a dot
        } else if (*name && (letter == L'?' || sameLetter(*name, letter))) {
            ++name;
        } else {
            return false;
        }
    }
    return !*name;
}

// Names as Windows lists them: letter case aside, then exactly.
bool comesBefore(const std::wstring& a, const std::wstring& b) {
    const int order = CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE);
    return order == CSTR_EQUAL ? a < b : order == CSTR_LESS_THAN;
}

std::vector<std::wstring> filesMatching(const std::wstring& pattern) {
    const std::size_t nameStart = filesystem_ops::folderOf(pattern).size();
    const std::wstring namePattern = pattern.substr(nameStart);
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    // Every name in the folder, matched here: the system's own matching also takes the short
    // 8.3 names ("*.ted" would find "x.tedx", short "X~1.TED") and varies between versions.
    const UniqueHandle<SearchTraits> search(
        FindFirstFileExW(win32Path(pattern.substr(0, nameStart) + L"*").c_str(), FindExInfoBasic,
                         &found, FindExSearchNameMatch, nullptr, 0));
    if (!search)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            matches(found.cFileName, namePattern.c_str(), std::wcsrchr(found.cFileName, L'.')))
            names.push_back(found.cFileName);
    } while (FindNextFileW(search.get(), &found));
    std::sort(names.begin(), names.end(), comesBefore);
    for (std::wstring& name : names)
        name.insert(0, pattern, 0, nameStart);
    return names;
}

} // namespace

std::vector<std::wstring> expandWildcards(const std::vector<std::wstring>& arguments) {
    std::vector<std::wstring> expanded;
    for (const std::wstring& argument : arguments) {
        const std::vector<std::wstring> files =
            hasWildcards(argument) ? filesMatching(argument) : std::vector<std::wstring>();
        if (files.empty())
            expanded.push_back(argument);
        else
            expanded.insert(expanded.end(), files.begin(), files.end());
    }
    return expanded;
}

// No file name holds * or ?: after expansion, an argument with one matched nothing.
bool isUnmatchedPattern(const std::wstring& argument) {
    return hasWildcards(argument);
}
