// Meldrove Finder's one window: the question on the left and above, the
// fonts that answer it in a list, the chosen font's preview and what it
// lacks below. Every message goes to one short function; what the answer is
// comes from the portable model (finder/model).
#pragma once

#include <windows.h>

namespace finder::win32 {

inline constexpr wchar_t kClassName[] = L"MeldroveFinder";
inline constexpr wchar_t kPreviewClassName[] = L"MeldroveFinderPreview";
inline constexpr wchar_t kWindowTitle[] = L"Meldrove Finder";

// Registers the window's classes; false when the system refused one.
bool registerClasses(HINSTANCE instance);

// Creates the main window, placed where it was last closed; null on failure.
HWND createMainWindow(HINSTANCE instance, int showCommand);

}  // namespace finder::win32
