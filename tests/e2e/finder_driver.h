// Drives meldrove-finder.exe from another process, as a user would: types
// into its edit boxes, reads its list views and status bar back through
// memory lent in its process, clicks column headers and exports its rows.
// Used by the end-to-end tests and by the demonstration of make run-finder.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "tools/app_driver.h"

namespace finder_driver {

// The Finder's main window, once it shows.
HWND mainWindow(const driver::AppProcess& app, DWORD timeoutMs = driver::kWindowTimeoutMs);

// Sends each UTF-16 unit of `text` as a typed character; "\r" breaks a line
// in the multi-line edit box.
void type(HWND edit, std::wstring_view text);

// Replaces an edit box's text by typing `text` over all of it.
void retype(HWND edit, std::wstring_view text);

// The text of a status bar's part, or of every row and column of a report
// list view, read through a buffer in the window's process.
std::wstring statusText(HWND statusBar, int part);
std::vector<std::vector<std::wstring>> listViewRows(HWND listView, int columns);

// Waits until the status bar tells a count of fonts, not the reading.
bool waitForFonts(HWND main, DWORD timeoutMs = driver::kWindowTimeoutMs);

// Clicks the header of `column` as the mouse does.
void clickColumn(HWND listView, int column);

// Selects `row` alone and gives the list the focus, as a click on it does.
void clickRow(HWND listView, int row);

// Ticks or clears the check box of a list view's item.
void setChecked(HWND listView, int item, bool checked);

// Picks an item of a list box or a combo box and tells its window, as a
// click does.
void pickListLine(HWND listBox, int line);
void pickComboLine(HWND comboBox, int line);

// The control that has the keyboard focus in the thread of `window`.
HWND focusOf(HWND window);

// Asks the Finder to export its rows to `windowsPath`; true once written.
bool exportRows(HWND main, const std::wstring& windowsPath, bool jsonLines);

// Asks the Finder to add a folder of fonts, read with its subfolders.
bool addFolder(HWND main, const std::wstring& windowsPath);

// The clipboard's text, UTF-16.
std::wstring clipboardText();

std::string utf8(std::wstring_view text);
std::wstring wide(std::string_view utf8);

}  // namespace finder_driver
