// Shows meldrove-finder.exe at work without anyone at the screen: starts it,
// types a text over two lines, picks a language, selects the first font,
// prints the rows of the list, saves a picture of the window and ends the
// program through File > Exit.
//
//   finder-demo FINDER_EXE IMAGE.bmp [TEXT [LANGUAGE [FONT]]]
//
// The row of FONT (by default DejaVu Sans) is selected where there is one,
// else the first. The arguments are read as UTF-16, so that a text in any
// script reaches the program whole.
// The exit code is the program's, or 2 when the demonstration could not be run.
#include <windows.h>

#include <cstdio>
#include <string>

#include "finder/win32/resource.h"
#include "finder_driver.h"
#include "tools/app_driver.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "finder-demo: %s\n", message.c_str());
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return fail("usage: finder-demo FINDER_EXE IMAGE.bmp [TEXT [LANGUAGE [FONT]]]");
    const auto exe = finder_driver::utf8(argv[1]), image = finder_driver::utf8(argv[2]);
    // "\n" in the text breaks its line, as Enter does.
    std::wstring text = argc > 3 ? argv[3] : L"Sphinx of black quartz\\n\u0421\u044A\u0435\u0448\u044C";
    for (std::size_t at; (at = text.find(L"\\n")) != std::wstring::npos;) text.replace(at, 2, L"\r");
    const std::wstring language = argc > 4 ? argv[4] : L"ru";
    const std::wstring font = argc > 5 ? argv[5] : L"DejaVu Sans";

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    driver::AppProcess app(driver::hostPathToWindows(exe), std::string(temp) + "finder-demo-output.txt");
    if (!app.started()) return fail("cannot start " + exe);
    HWND main = finder_driver::mainWindow(app);
    if (!main) return fail("the program showed no window");
    if (!finder_driver::waitForFonts(main, 120000)) return fail("the fonts were not read in two minutes");

    finder_driver::type(GetDlgItem(main, IDC_TEXT), text);
    finder_driver::type(GetDlgItem(main, IDC_LANGUAGE), language);
    HWND results = GetDlgItem(main, IDC_RESULTS);
    const auto rows = finder_driver::listViewRows(results, 7);
    std::printf("%s\n", finder_driver::utf8(finder_driver::statusText(GetDlgItem(main, IDC_STATUS), 0)).c_str());
    for (const auto& row : rows) {
        std::printf("  %s (%s): %s, missing %s\n", finder_driver::utf8(row[0]).c_str(),
                    finder_driver::utf8(row[2]).c_str(), finder_driver::utf8(row[4]).c_str(),
                    finder_driver::utf8(row[5]).c_str());
    }
    int chosen = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i][0] == font) chosen = static_cast<int>(i);
    }
    if (!rows.empty()) finder_driver::clickRow(results, chosen);
    UpdateWindow(main);
    Sleep(500);  // let the last paint reach the screen before the picture
    if (!driver::saveWindowImage(main, driver::hostPathToWindows(image))) std::printf("No picture was taken.\n");

    PostMessageW(main, WM_COMMAND, IDM_EXIT, 0);
    DWORD exitCode = 0;
    if (!app.waitForExit(driver::kExitTimeoutMs, exitCode)) return fail("the program did not end after Exit");
    std::printf("Meldrove Finder ended with exit code %ld.\n", static_cast<long>(static_cast<LONG>(exitCode)));
    return static_cast<int>(exitCode);
}
