#include "file_system.h"
#include "unique_handle.h"
#include "wildcards.h"
#include "win32_path.h"

#include <windows.h>

#include <algorithm>

namespace {

bool hasWildcards(const std::wstring& argument) {
    return argument.find_first_of(L"*?") != std::wstring::npos;
}

struct SearchTraits {
    using Type = HANDLE;
    static Type invalid() { return INVALID_HANDLE_VALUE; }
    static void close(Type search) { FindClose(search); }
};

bool sameLetter(wchar_t a, wchar_t b) {
    return CompareStringOrdinal(&a, 1, &b, 1, TRUE) == CSTR_EQUAL;
}

// * for any run of characters, ? for any one, letter case aside. The system's search
// also matches the short 8.3 names, so that "*.ted" finds "x.tedx" (short "X~1.TED"):
// each name it finds is checked again.
bool matches(const wchar_t* name, const wchar_t* pattern) {
    for (; *pattern; ++pattern, ++name) {
        if (*pattern == L'*') {
            for (const wchar_t* rest = name;; ++rest) {
                if (matches(rest, pattern + 1))
                    return true;
                if (!*rest)
                    return false;
            }
        }
        if (!*name || (*pattern != L'?' && !sameLetter(*name, *pattern)))
            return false;
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
    const UniqueHandle<SearchTraits> search(FindFirstFileExW(
        win32Path(pattern).c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    if (!search)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            matches(found.cFileName, namePattern.c_str()))
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
