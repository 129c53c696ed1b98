// Meldrove Finder's entry: common controls, the window, and a message loop
// that gives the accelerators and the dialog keys (Tab, Shift+Tab) their turn.
#include <windows.h>
// After <windows.h>, which they need.
#include <commctrl.h>
#include <objbase.h>

#include "finder/win32/finder_window.h"
#include "finder/win32/resource.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS |
                                                       ICC_UPDOWN_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    // The folder picker is a shell dialog, which needs COM on this thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (!finder::win32::registerClasses(instance)) return 1;
    HWND window = finder::win32::createMainWindow(instance, showCommand);
    if (!window) return 1;
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_FINDER_ACCELERATORS));

    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorW(window, accelerators, &message)) continue;
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
