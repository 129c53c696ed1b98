// The list that shows the matching fonts. On Windows it is the dialog's
// sorted list box; elsewhere a SortedLineList puts the lines in the order
// the list box would.
#pragma once

#include <cstdint>
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

// How the sorted list box compares two lines: negative when `a` goes first,
// positive when `b` does, zero when the two are alike. On Windows it is the
// system's own comparison (what lstrcmpi does); elsewhere compareInWordSort.
int compareInListOrder(std::string_view a, std::string_view b);

// That comparison, the Windows word sort with letters in either case alike,
// made here for ASCII: first the lines' characters other than hyphens,
// apostrophes and most control characters, letters in either case alike;
// then, between lines alike in that, those left out, by where they stand.
// Lines that differ only in the case of letters are alike. Bytes above 127
// are not the Windows order: they come after every ASCII character, by value.
int compareInWordSort(std::string_view a, std::string_view b);

// The work of putting lines in list order: comparisons of two lines, and the
// steps of the searches and tree walks that place them. Both grow as
// n log n with the number of lines, however many of them are alike.
struct PlacementWork {
    std::uint64_t comparisons = 0;
    std::uint64_t steps = 0;
};

// The positions of `lines`, added to the list box one by one in this order,
// in the order the list box shows them: each goes where the list box's search
// for its place ends. Lines alike under the comparison keep no order of their
// own: where one of them ends up depends on the lines added before it.
// With `work`, the work done is added to it.
std::vector<std::size_t> listBoxOrder(const std::vector<std::string>& lines, PlacementWork* work = nullptr);

class SortedLineList final : public ResultList {
public:
    using Comparison = int (*)(std::string_view, std::string_view);

    explicit SortedLineList(Comparison compare = compareInListOrder) : compare_(compare) {}

    void resetContent() override;
    void addString(std::string_view line) override;

    const std::vector<std::string>& lines() const;

    // The work of every placing since the list was made.
    const PlacementWork& work() const { return work_; }

private:
    Comparison compare_;
    // The first placed_ lines are in list order; those after them were added
    // since, in the order they came, and are placed when the list is read.
    mutable std::vector<std::string> lines_;
    mutable std::size_t placed_ = 0;
    mutable PlacementWork work_;
};

}  // namespace selection
