#include "app/main_window.h"

#include "app/resource.h"
#include "inventory/font_inventory.h"
#include "selection/selection_dialog.h"

namespace app {

HINSTANCE moduleInstance = nullptr;
HWND selectionDialog = nullptr;

namespace {

// The selection dialog's distance from the left edge of "&About" and from
// the bottom of the menu bar.
constexpr int kDialogGap = 4;

LRESULT onCreate(HWND window) {
    // The pointer-sized query: a module handle does not fit 32 bits on Win64.
    moduleInstance = reinterpret_cast<HINSTANCE>(GetClassLongPtrA(window, GCLP_HMODULE));
    inventory::buildInventory();
    selectionDialog = CreateDialogParamA(moduleInstance, "Quorrel", window, selection::SelectionDialogProc, 0);
    return 0;
}

// Where the dialog's top-left corner goes: under the first item of the menu
// bar. Should the item's rectangle not be had, the top-left corner of the
// client area (just under the menu bar) stands in for it.
POINT dialogPosition(HWND window) {
    RECT item{};
    if (GetMenuItemRect(window, GetMenu(window), 0, &item)) return {item.left + kDialogGap, item.bottom + kDialogGap};
    POINT corner{0, 0};
    ClientToScreen(window, &corner);
    return {corner.x + kDialogGap, corner.y + kDialogGap};
}

void placeSelectionDialog(HWND window) {
    const POINT at = dialogPosition(window);
    SetWindowPos(selectionDialog, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

void onExit(HWND window) {
    inventory::releaseInventory();
    DestroyWindow(window);
}

void onAbout(HWND window) { DialogBoxParamA(moduleInstance, "AboutBox", window, AboutBoxProc, 0); }

LRESULT onCommand(HWND window, WPARAM wParam) {
    switch (LOWORD(wParam)) {
        case IDM_EXIT:
            onExit(window);
            break;
        case IDM_ABOUT:
            onAbout(window);
            break;
    }
    return 0;  // other commands do nothing and are not passed on
}

LRESULT onDestroy() {
    inventory::releaseInventory();  // nothing left to free after "E&xit"
    PostQuitMessage(0);
    return 0;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return onCreate(window);
        case WM_MOVE:
        case WM_SIZE:
            placeSelectionDialog(window);
            return 0;
        case WM_COMMAND:
            return onCommand(window, wParam);
        case WM_DESTROY:
            return onDestroy();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, 1);
                return TRUE;
            }
            break;
    }
    return FALSE;
}

}  // namespace app
