#pragma once

// Numbers of the string table's entries, shared by the code and the resource scripts.
#define IDS_MAP_FILES 102
#define IDS_ALL_FILES 103
#define IDS_TARGA_FILES 104
#define IDS_NO_PREVIEW 105
