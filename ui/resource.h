#pragma once

// Resource numbers of the dialog program, shared by the code and the resource script.
#include "text_ids.h"

#define IDD_MAIN 101

#define IDC_MAP_PATH 1001
#define IDC_BROWSE 1002
#define IDC_EXTRACT 1003
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
