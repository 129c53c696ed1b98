#include "selection/result_list.h"

#include <algorithm>

#include "platform/ascii.h"

namespace selection {

bool lessInListOrder(std::string_view a, std::string_view b) {
    const auto folded = [](char c) { return static_cast<unsigned char>(platform::toLowerAscii(c)); };
    const auto [ia, ib] =
        std::mismatch(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return folded(x) == folded(y); });
    if (ia != a.end() && ib != b.end()) return folded(*ia) < folded(*ib);
    if (ia != a.end() || ib != b.end()) return ib != b.end();  // a prefix comes first
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

std::vector<std::size_t> listBoxOrder(const std::vector<std::string>& lines) {
    std::vector<std::size_t> order(lines.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return lessInListOrder(lines[a], lines[b]); });
    return order;
}

void SortedLineList::addString(std::string_view line) {
    lines_.emplace_back(line);
    sorted_ = false;
}

// Sorted once when read rather than on every line, so that filling the list
// with thousands of lines stays linear until it is looked at.
const std::vector<std::string>& SortedLineList::lines() const {
    if (!sorted_) {
        std::stable_sort(lines_.begin(), lines_.end(), lessInListOrder);
        sorted_ = true;
    }
    return lines_;
}

}  // namespace selection
