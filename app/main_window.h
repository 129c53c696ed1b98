// The main window: it reads the fonts while it is created, carries the
// selection dialog under its menu bar, and offers the about box and the exit.
#pragma once

#include <windows.h>

namespace app {

inline constexpr char kClassName[] = "Vantrel";
inline constexpr char kWindowTitle[] = "Meldrove";
inline constexpr int kWindowWidth = 680;
inline constexpr int kWindowHeight = 400;

// Taken from the main window's class when the window is created.
extern HINSTANCE moduleInstance;
// The selection dialog; null until the main window has created it.
extern HWND selectionDialog;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace app
