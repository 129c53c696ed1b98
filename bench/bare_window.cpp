// bare-window: what Wine itself costs meldrove.exe's window at start in a
// given prefix. It is the program's window without the fonts: the same class,
// title, icon and menu, the same selection dialog placed under the menu bar,
// and the same "E&xit" command, but no font is read. start-timer times it as
// it times the program, so the difference between the two is the reading.
#define STRICT
#include <windows.h>

#include "app/main_window.h"
#include "app/resource.h"
#include "selection/selection_dialog.h"

namespace {

HWND dialog = nullptr;

// Where the program places its dialog: under the first item of the menu bar.
void placeDialog(HWND window) {
    RECT item{};
    if (!dialog || !GetMenuItemRect(window, GetMenu(window), 0, &item)) return;
    SetWindowPos(dialog, nullptr, item.left + 4, item.bottom + 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            dialog =
                CreateDialogParamA(GetModuleHandleA(nullptr), "Quorrel", window, selection::SelectionDialogProc, 0);
            return 0;
        case WM_MOVE:
        case WM_SIZE:
            placeDialog(window);
            return 0;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDM_EXIT) DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, app::kClassName);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = app::kClassName;
    windowClass.lpszClassName = app::kClassName;
    if (!RegisterClassA(&windowClass)) return 1;
    HWND window =
        CreateWindowExA(0, app::kClassName, app::kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        app::kWindowWidth, app::kWindowHeight, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
