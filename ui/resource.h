#pragma once

// Resource numbers shared by the code and the resource script.
#define IDD_MAIN 101
#define IDS_MAP_FILES 102
#define IDS_ALL_FILES 103
#define IDS_TARGA_FILES 104
#define IDS_NO_PREVIEW 105

#define IDC_MAP_PATH 1001
#define IDC_BROWSE 1002
#define IDC_EXTRACT 1003
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
