// Meldrove Finder's entry: common controls, the window, and a message loop
// that gives the accelerators and the dialog keys (Tab, Shift+Tab) their turn.
#include <windows.h>
// After <windows.h>, which they need.
#include <commctrl.h>
#include <objbase.h>

#include "finder/win32/finder_window.h"
#include "finder/win32/resource.h"

namespace {

// A multi-line edit box takes every key, Tab too, from the dialog keys; a tab
// is nothing to look for in a font, so Tab leaves the text box as it leaves
// every other control (Ctrl+Tab still types one).
bool leavesTheTextBox(HWND window, const MSG& message) {
    if (message.message != WM_KEYDOWN || message.wParam != VK_TAB || GetKeyState(VK_CONTROL) < 0) return false;
    if (message.hwnd != GetDlgItem(window, IDC_TEXT)) return false;
    if (HWND next = GetNextDlgTabItem(window, message.hwnd, GetKeyState(VK_SHIFT) < 0)) SetFocus(next);
    return true;
}

}  // namespace

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
        if (leavesTheTextBox(window, message)) continue;
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
