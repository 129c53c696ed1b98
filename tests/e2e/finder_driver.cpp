#include "finder_driver.h"

#include <commctrl.h>

#include <algorithm>

#include "finder/win32/finder_window.h"
#include "finder/win32/resource.h"

namespace finder_driver {

namespace {

// Memory in the process that owns a window, for the messages whose
// arguments point at memory: the window can only read and write its own.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, std::size_t size) : size_(size) {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (process_) address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool ok() const { return address_ != nullptr; }
    char* at(std::size_t offset) const { return static_cast<char*>(address_) + offset; }
    bool write(std::size_t offset, const void* data, std::size_t size) const {
        SIZE_T done = 0;
        return offset + size <= size_ && WriteProcessMemory(process_, at(offset), data, size, &done) && done == size;
    }
    bool read(std::size_t offset, void* data, std::size_t size) const {
        SIZE_T done = 0;
        return offset + size <= size_ && ReadProcessMemory(process_, at(offset), data, size, &done) && done == size;
    }

private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
    std::size_t size_ = 0;
};

constexpr std::size_t kTextUnits = 1024;

std::wstring readText(const RemoteBuffer& buffer, std::size_t offset) {
    std::wstring text(kTextUnits, L'\0');
    if (!buffer.read(offset, text.data(), kTextUnits * sizeof(wchar_t))) return {};
    text.resize(std::min(text.find(L'\0'), text.size()));
    return text;
}

}  // namespace

std::string utf8(std::wstring_view text) {
    if (text.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring wide(std::string_view text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

HWND mainWindow(const driver::AppProcess& app, DWORD timeoutMs) {
    return app.findWindow([](HWND w) { return driver::className(w) == "MeldroveFinder" && IsWindowVisible(w); },
                          timeoutMs);
}

void type(HWND edit, std::wstring_view text) {
    for (const auto unit : text) SendMessageW(edit, WM_CHAR, unit, 1);
}

void retype(HWND edit, std::wstring_view text) {
    SendMessageW(edit, EM_SETSEL, 0, -1);
    if (text.empty()) {
        SendMessageW(edit, WM_CHAR, VK_BACK, 1);
    } else {
        type(edit, text);
    }
}

std::wstring statusText(HWND statusBar, int part) {
    RemoteBuffer buffer(statusBar, kTextUnits * sizeof(wchar_t));
    if (!buffer.ok()) return {};
    const wchar_t nothing = 0;
    buffer.write(0, &nothing, sizeof nothing);
    SendMessageW(statusBar, SB_GETTEXTW, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(buffer.at(0)));
    return readText(buffer, 0);
}

std::vector<std::vector<std::wstring>> listViewRows(HWND listView, int columns) {
    std::vector<std::vector<std::wstring>> rows;
    RemoteBuffer buffer(listView, sizeof(LVITEMW) + kTextUnits * sizeof(wchar_t));
    if (!buffer.ok()) return rows;
    const auto count = SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT row = 0; row < count; ++row) {
        std::vector<std::wstring> cells;
        for (int column = 0; column < columns; ++column) {
            LVITEMW item{};
            item.iSubItem = column;
            item.pszText = reinterpret_cast<wchar_t*>(buffer.at(sizeof(LVITEMW)));
            item.cchTextMax = static_cast<int>(kTextUnits);
            buffer.write(0, &item, sizeof item);
            const auto length = SendMessageW(listView, LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                                             reinterpret_cast<LPARAM>(buffer.at(0)));
            auto text = readText(buffer, sizeof(LVITEMW));
            text.resize(std::min<std::size_t>(text.size(), static_cast<std::size_t>(std::max<LRESULT>(length, 0))));
            cells.push_back(text);
        }
        rows.push_back(std::move(cells));
    }
    return rows;
}

bool waitForFonts(HWND main, DWORD timeoutMs) {
    HWND status = GetDlgItem(main, IDC_STATUS);
    return driver::waitFor(
        [&] {
            const auto text = statusText(status, 0);
            return !text.empty() && text[0] >= L'0' && text[0] <= L'9';
        },
        timeoutMs);
}

void clickColumn(HWND listView, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(listView, LVM_GETHEADER, 0, 0));
    RemoteBuffer buffer(header, sizeof(RECT));
    RECT rect{};
    if (!buffer.ok() ||
        !SendMessageW(header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(buffer.at(0))) ||
        !buffer.read(0, &rect, sizeof rect)) {
        return;
    }
    // A header tracks the mouse itself between the press and the release:
    // only a real click, at its place on the screen, makes it one.
    POINT at{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(header, &at);
    SetCursorPos(at.x, at.y);
    Sleep(100);  // the move reaches the header before the press
    for (const DWORD press : {DWORD{MOUSEEVENTF_LEFTDOWN}, DWORD{MOUSEEVENTF_LEFTUP}}) {
        INPUT input{};
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = press;
        SendInput(1, &input, sizeof input);
        Sleep(100);
    }
    Sleep(200);
}

void clickRow(HWND listView, int row) {
    RemoteBuffer buffer(listView, sizeof(RECT));
    RECT rect{};
    rect.left = LVIR_LABEL;
    if (!buffer.ok() || !buffer.write(0, &rect, sizeof rect) ||
        !SendMessageW(listView, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(buffer.at(0))) ||
        !buffer.read(0, &rect, sizeof rect)) {
        return;
    }
    const LPARAM at = MAKELPARAM(rect.left + 4, (rect.top + rect.bottom) / 2);
    PostMessageW(listView, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(listView, WM_LBUTTONUP, 0, at);
    Sleep(300);
}

void setChecked(HWND listView, int item, bool checked) {
    RemoteBuffer buffer(listView, sizeof(LVITEMW));
    LVITEMW state{};
    state.stateMask = LVIS_STATEIMAGEMASK;
    state.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    if (!buffer.ok() || !buffer.write(0, &state, sizeof state)) return;
    SendMessageW(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(buffer.at(0)));
}

void pickListLine(HWND listBox, int line) {
    SendMessageW(listBox, LB_SETCURSEL, static_cast<WPARAM>(line), 0);
    SendMessageW(GetParent(listBox), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(listBox), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(listBox));
}

void pickComboLine(HWND comboBox, int line) {
    SendMessageW(comboBox, CB_SETCURSEL, static_cast<WPARAM>(line), 0);
    SendMessageW(GetParent(comboBox), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(comboBox), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(comboBox));
}

HWND focusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

bool exportRows(HWND main, const std::wstring& windowsPath, bool jsonLines) {
    COPYDATASTRUCT data{};
    data.dwData = jsonLines ? FINDER_COPYDATA_EXPORT_JSON_LINES : FINDER_COPYDATA_EXPORT_CSV;
    data.cbData = static_cast<DWORD>((windowsPath.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(windowsPath.c_str());
    return SendMessageW(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) == 1;
}

bool addFolder(HWND main, const std::wstring& windowsPath) {
    COPYDATASTRUCT data{};
    data.dwData = FINDER_COPYDATA_ADD_FOLDER;
    data.cbData = static_cast<DWORD>((windowsPath.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(windowsPath.c_str());
    return SendMessageW(main, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) == 1;
}

std::wstring clipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* units = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = units;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

}  // namespace finder_driver
