#include "command_line.h"
#include "main_dialog.h"
#include "report_failures.h"
#include "resource.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    reportFailures([instance] {
        const std::vector<std::wstring> arguments = commandLineArguments();
        DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_MAIN), nullptr, MainDialog,
                        reinterpret_cast<LPARAM>(startPath(arguments)));
    });
    return 0;
}
