#include "selection/selection_dialog.h"

#include <algorithm>

#include "inventory/font_inventory.h"
#include "selection/dialog_ids.h"
#include "selection/unicode_blocks.h"

namespace selection {

HWND blockList = nullptr;
std::array<std::int32_t, kMaxRequiredBits> selectedPositions{};
ListBoxResultList resultListBox;

void ListBoxResultList::resetContent() { SendMessageA(listBox_, LB_RESETCONTENT, 0, 0); }

void ListBoxResultList::addString(std::string_view line) {
    line_.assign(line);
    SendMessageA(listBox_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line_.c_str()));
}

namespace {

// Keeps a control from painting until the end of the scope, then repaints it
// once.
class RedrawSuspended {
public:
    explicit RedrawSuspended(HWND control) : control_(control) { SendMessageA(control_, WM_SETREDRAW, FALSE, 0); }
    ~RedrawSuspended() {
        SendMessageA(control_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(control_, nullptr, TRUE);
    }
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;

private:
    HWND control_;
};

INT_PTR onInitDialog(HWND dialog) {
    blockList = GetDlgItem(dialog, IDC_BLOCKLIST);
    resultListBox.attach(GetDlgItem(dialog, IDC_RESULTLIST));
    resultList = &resultListBox;
    for (int row = 0; row < kBlockCount; ++row) {
        SendMessageA(blockList, LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(unicodeBlockTable[static_cast<std::size_t>(row)].name));
        requiredBits[static_cast<std::size_t>(row)] = 0;
    }
    return TRUE;  // the focus goes to the first tab stop, the block list
}

void onSelectBlock() {
    // The count is kept within the positions array whatever the list answers.
    const auto selected = std::clamp<LRESULT>(SendMessageA(blockList, LB_GETSELCOUNT, 0, 0), 0, kMaxRequiredBits);
    const auto written = std::clamp<LRESULT>(SendMessageA(blockList, LB_GETSELITEMS, static_cast<WPARAM>(selected),
                                                          reinterpret_cast<LPARAM>(selectedPositions.data())),
                                             0, selected);
    takeSelectedBlocks(std::span(selectedPositions).first(static_cast<std::size_t>(written)));

    RedrawSuspended quiet(resultListBox.handle());
    listMatchingFonts();
}

void onClearSelection() {
    // The range may end past the last line: the list stops at its last line.
    SendMessageA(blockList, LB_SELITEMRANGE, FALSE, MAKELPARAM(0, kBlockCount));
}

void onCancel(HWND dialog) {
    inventory::releaseInventory();
    DestroyWindow(dialog);
}

}  // namespace

INT_PTR CALLBACK SelectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            return onInitDialog(dialog);
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_SELECTBLOCK:
                    onSelectBlock();
                    break;
                case IDC_CLEARSELECTION:
                    onClearSelection();
                    break;
                case IDCANCEL:
                    onCancel(dialog);
                    break;
            }
            return FALSE;
    }
    return FALSE;
}

}  // namespace selection
