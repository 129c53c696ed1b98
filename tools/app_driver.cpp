#include "tools/app_driver.h"

#include <algorithm>
#include <fstream>

#include "selection/dialog_ids.h"

namespace driver {

bool waitFor(const std::function<bool()>& ready, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (ready()) return true;
        if (GetTickCount64() >= deadline) return false;
        Sleep(20);
    }
}

std::string hostPathToWindows(const std::string& path) {
    if (path.empty() || path.front() != '/') return path;
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

HANDLE createOutputFile(const std::string& path) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool startProcess(const std::string& exePath, HANDLE output, PROCESS_INFORMATION& process) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output;
    startup.hStdError = output;
    std::string commandLine = "\"" + exePath + "\"";
    return CreateProcessA(exePath.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &process) != 0;
}

AppProcess::AppProcess(const std::string& exePath, const std::string& outputPath) {
    HANDLE output = createOutputFile(outputPath);
    if (output == INVALID_HANDLE_VALUE) return;
    if (!startProcess(exePath, output, process_)) process_ = {};
    CloseHandle(output);
}

AppProcess::~AppProcess() {
    if (!started()) return;
    kill();
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

bool AppProcess::running() const { return started() && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT; }

bool AppProcess::waitForExit(DWORD timeoutMs, DWORD& exitCode) const {
    if (!started() || WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_.hProcess, &exitCode) != 0;
}

void AppProcess::kill() {
    if (!running()) return;
    TerminateProcess(process_.hProcess, 1);
    WaitForSingleObject(process_.hProcess, kExitTimeoutMs);
}

namespace {

struct Search {
    DWORD processId;
    const std::function<bool(HWND)>* accept;
    HWND found;
};

BOOL CALLBACK visit(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<Search*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search.processId || !(*search.accept)(window)) return TRUE;
    search.found = window;
    return FALSE;
}

bool isDialog(HWND window) { return className(window) == "#32770"; }

std::string fromWide(const std::wstring& text) {
    if (text.empty()) return {};
    const int size =
        WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), narrow.data(), size, nullptr, nullptr);
    return narrow;
}

}  // namespace

HWND AppProcess::findWindow(const std::function<bool(HWND)>& accept, DWORD timeoutMs) const {
    Search search{process_.dwProcessId, &accept, nullptr};
    waitFor(
        [&] {
            EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr || !running();
        },
        timeoutMs);
    return search.found;
}

HWND AppProcess::mainWindow(DWORD timeoutMs) const {
    return findWindow([](HWND w) { return className(w) == "Vantrel" && windowText(w) == "Meldrove"; }, timeoutMs);
}

// A dialog shows itself only once its controls are made and initialised.
HWND AppProcess::selectionDialog(DWORD timeoutMs) const {
    return findWindow(
        [](HWND w) { return isDialog(w) && IsWindowVisible(w) && GetDlgItem(w, IDC_BLOCKLIST) != nullptr; }, timeoutMs);
}

HWND AppProcess::aboutBox(DWORD timeoutMs) const {
    return findWindow(
        [](HWND w) {
            return isDialog(w) && IsWindowVisible(w) && GetDlgItem(w, IDOK) != nullptr &&
                   GetDlgItem(w, IDC_BLOCKLIST) == nullptr;
        },
        timeoutMs);
}

std::string windowText(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 512);
    return fromWide(text);
}

std::string className(HWND window) {
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

RECT windowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

std::vector<std::string> listLines(HWND listBox) {
    std::vector<std::string> lines;
    const auto count = SendMessageW(listBox, LB_GETCOUNT, 0, 0);
    for (LRESULT line = 0; line < count; ++line) {
        const auto length = SendMessageW(listBox, LB_GETTEXTLEN, static_cast<WPARAM>(line), 0);
        std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        const auto copied =
            SendMessageW(listBox, LB_GETTEXT, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(copied, 0, length)));
        lines.push_back(fromWide(text));
    }
    return lines;
}

std::vector<int> selectedLines(HWND listBox) {
    std::vector<int> selected;
    const auto count = SendMessageW(listBox, LB_GETCOUNT, 0, 0);
    for (LRESULT line = 0; line < count; ++line) {
        if (SendMessageW(listBox, LB_GETSEL, static_cast<WPARAM>(line), 0) > 0)
            selected.push_back(static_cast<int>(line));
    }
    return selected;
}

void setSelected(HWND listBox, int line, bool selected) {
    SendMessageW(listBox, LB_SETSEL, selected ? TRUE : FALSE, line);
}

int findLine(HWND listBox, const std::string& text) {
    const auto lines = listLines(listBox);
    const auto at = std::find(lines.begin(), lines.end(), text);
    return at == lines.end() ? -1 : static_cast<int>(at - lines.begin());
}

void click(HWND button) {
    // What a click on the button tells its dialog. BM_CLICK would do the same
    // through the mouse capture, which a window of another process can take
    // away in between.
    SendMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

bool saveWindowImage(HWND window, const std::string& bmpPath) {
    const RECT rect = windowRect(window);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return false;

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, previous);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up rows, as BMP files keep them
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD rowBytes = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    std::vector<char> pixels(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height));
    const int rows = GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                               reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (rows != height) return false;

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(bmpPath, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

}  // namespace driver
