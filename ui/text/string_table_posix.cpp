#include "string_table.h"
#include "text_ids.h"

#include <cstdlib>
#include <cstring>

namespace {

struct Entry {
    unsigned id;
    const wchar_t* english;
    const wchar_t* german;
};

// Generated from string_table.rc, the table the Windows build compiles.
const Entry TABLE[] = {
#include "string_table_entries.inc"
};

// The language the user's locale asks for, found as the C library would.
bool userWantsGerman() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return std::strncmp(value, "de", 2) == 0;
    }
    return false;
}

} // namespace

std::wstring loadResourceString(unsigned id) {
    for (const Entry& entry : TABLE) {
        if (entry.id == id)
            return userWantsGerman() ? entry.german : entry.english;
    }
    return std::wstring();
}
