// The list that shows the matching fonts. On Windows it is the dialog's
// sorted list box; elsewhere a SortedLineList keeps the lines in the same
// kind of order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace selection {

class ResultList {
public:
    virtual void resetContent() = 0;                    // LB_RESETCONTENT
    virtual void addString(std::string_view line) = 0;  // LB_ADDSTRING

protected:
    ~ResultList() = default;
};

// ASCII letters in either case alike, as the list box orders its lines;
// lines alike in that way go by their raw bytes (capitals first), and bytes
// above 127 by their value, after every ASCII character.
bool lessInListOrder(std::string_view a, std::string_view b);

// The positions of `lines`, added to the list in this order, in the order
// the list shows them.
std::vector<std::size_t> listBoxOrder(const std::vector<std::string>& lines);

class SortedLineList final : public ResultList {
public:
    void resetContent() override { lines_.clear(); }
    void addString(std::string_view line) override;

    const std::vector<std::string>& lines() const;

private:
    mutable std::vector<std::string> lines_;
    mutable bool sorted_ = true;
};

}  // namespace selection
