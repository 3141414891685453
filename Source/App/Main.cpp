// Entry point of the organiser: OLE and the common controls for the UI thread, then the
// application object's start-up, message loop and shut-down.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "App/Master.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandTail, int) {
    OleInitialize(nullptr);
    InitCommonControls();
    if (Master().Init(commandTail)) RunMessageLoop();
    Master().Shutdown();
    OleUninitialize();
    return 0;
}
