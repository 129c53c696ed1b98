// The selection dialog: the 79 blocks on the left, the matching fonts on the
// right, "Select Block " to list them and "Clear selection" to start again.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "selection/matching.h"

namespace selection {

// The block list (control IDC_BLOCKLIST), taken when the dialog starts.
extern HWND blockList;
// Where the block list writes its selected positions at each press.
extern std::array<std::int32_t, kMaxRequiredBits> selectedPositions;

// The result list control (IDC_RESULTLIST) as the list the matching fills.
// Its lines are added with redrawing suspended, so that thousands appear at
// once rather than one by one.
class ListBoxResultList final : public ResultList {
public:
    void attach(HWND listBox) { listBox_ = listBox; }
    HWND handle() const { return listBox_; }

    void resetContent() override;
    void addString(std::string_view line) override;

private:
    HWND listBox_ = nullptr;
    std::string line_;  // the zero-terminated copy the control takes
};

extern ListBoxResultList resultListBox;

// The dialog procedure of the template "Quorrel".
INT_PTR CALLBACK SelectionDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace selection
