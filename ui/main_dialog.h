#pragma once

#include <windows.h>

#include <string>

// The procedure of the main dialog (resource IDD_MAIN). The creation parameter is the
// start path (a wide string) or null. No state is kept outside the dialog's controls.
// Failures of a handler are reported here and end the dialog; none leaves through the
// window system's dispatch.
INT_PTR CALLBACK MainDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

// The whole text of `window`.
std::wstring readWindowText(HWND window);
