#include "wildcards.h"

std::vector<std::wstring> expandWildcards(const std::vector<std::wstring>& arguments) {
    return arguments;
}

bool isUnmatchedPattern(const std::wstring&) {
    return false;
}
