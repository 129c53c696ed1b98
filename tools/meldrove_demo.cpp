// Shows meldrove.exe at work without anyone at the screen: starts it, selects
// some blocks, presses "Select Block ", prints the lines of the result list,
// saves a picture of the window and ends the program through "E&xit".
//
//   meldrove-demo MELDROVE_EXE IMAGE.bmp OUTPUT.txt [BLOCK ...]
//
// The program's own standard output goes to OUTPUT.txt. The exit code is the
// program's, or 2 when the demonstration could not be run.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/resource.h"
#include "tools/app_driver.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "meldrove-demo: %s\n", message.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return fail("usage: meldrove-demo MELDROVE_EXE IMAGE.bmp OUTPUT.txt [BLOCK ...]");
    std::vector<std::string> blocks(argv + 4, argv + argc);
    if (blocks.empty()) blocks = {"Basic Latin", "Cyrillic"};

    driver::AppProcess app(driver::hostPathToWindows(argv[1]), driver::hostPathToWindows(argv[3]));
    if (!app.started()) return fail(std::string("cannot start ") + argv[1]);
    HWND main = app.mainWindow();
    HWND dialog = main ? app.selectionDialog() : nullptr;
    if (!dialog) return fail("the program showed no window");
    HWND blockList = GetDlgItem(dialog, IDC_BLOCKLIST);

    std::printf("Selected blocks:");
    for (const auto& block : blocks) {
        const int line = driver::findLine(blockList, block);
        if (line < 0) return fail("no block named \"" + block + "\"");
        driver::setSelected(blockList, line, true);
        std::printf(" %s;", block.c_str());
    }
    driver::click(GetDlgItem(dialog, IDC_SELECTBLOCK));

    const auto lines = driver::listLines(GetDlgItem(dialog, IDC_RESULTLIST));
    std::printf("\nFonts that declare every one of them (%zu):\n", lines.size());
    for (const auto& line : lines) std::printf("  %s\n", line.c_str());

    SendMessageA(blockList, LB_SETTOPINDEX, 0, 0);
    UpdateWindow(main);
    Sleep(300);  // let the last paint reach the screen before the picture
    if (!driver::saveWindowImage(main, driver::hostPathToWindows(argv[2]))) std::printf("No picture was taken.\n");

    PostMessageA(main, WM_COMMAND, IDM_EXIT, 0);
    DWORD exitCode = 0;
    if (!app.waitForExit(driver::kExitTimeoutMs, exitCode)) return fail("the program did not end after \"E&xit\"");
    std::printf("Meldrove ended with exit code %ld.\n", static_cast<long>(static_cast<LONG>(exitCode)));
    return static_cast<int>(exitCode);
}
