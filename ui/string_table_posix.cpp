#include "resource.h"
#include "string_table.h"

#include <cstdlib>
#include <cstring>

namespace {

struct Entry {
    unsigned id;
    const wchar_t* english;
    const wchar_t* german;
};

// The same texts as the Windows string table.
const Entry TABLE[] = {
    {IDS_MAP_FILES, L"Map Files", L"Karten Dateien"},
    {IDS_ALL_FILES, L"All Files", L"Alle Dateien"},
    {IDS_TARGA_FILES, L"Targa Files", L"Targa Dateien"},
    {IDS_NO_PREVIEW, L"The map does not contain a preview image.\nNothing done.",
     L"Die Map verfügt über keine Vorschau.\nKeine Änderung."},
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
