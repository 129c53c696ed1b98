// The program's entry: registers the main window's class, creates the window
// (which reads every font before it first shows) and runs the message loop.
#include <windows.h>

#include "app/class_registration.h"
#include "app/main_window.h"

namespace {

constexpr int kSmallIconSize = 16;

bool registerMainClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = app::MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, app::kClassName);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszMenuName = app::kClassName;
    windowClass.lpszClassName = app::kClassName;

    if (app::classRegistrationFor(GetVersion()) == app::ClassRegistration::Plain) {
        WNDCLASSA plain{windowClass.style,
                        windowClass.lpfnWndProc,
                        0,
                        0,
                        instance,
                        windowClass.hIcon,
                        windowClass.hCursor,
                        windowClass.hbrBackground,
                        windowClass.lpszMenuName,
                        windowClass.lpszClassName};
        return RegisterClassA(&plain) != 0;
    }
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageA(instance, app::kClassName, IMAGE_ICON, kSmallIconSize, kSmallIconSize, LR_DEFAULTCOLOR));
    return RegisterClassExA(&windowClass) != 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    if (!registerMainClass(instance)) return 0;
    HWND window =
        CreateWindowExA(0, app::kClassName, app::kWindowTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                        app::kWindowWidth, app::kWindowHeight, nullptr, nullptr, instance, nullptr);
    if (!window) return 0;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    // No dialog pre-processing: the selection dialog's messages go the same
    // way as every other. GetMessageA's -1 (an error) ends the loop too.
    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
