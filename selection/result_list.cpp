#include "selection/result_list.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "platform/platform.h"

namespace selection {

namespace {

// The weight of each ASCII character in the Windows word sort with letters in
// either case alike. Read under Wine 8 (locale 409) from the sort key that
// LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE) makes of
// each character alone, and checked by the engine tests under Wine against
// CompareStringA, pair by pair and over generated lines.
//  - From 0x100: a first-level weight, the key's script and weight bytes.
//    Blanks, tab to carriage return and most punctuation (07) come before
//    + < = > (08), digits (0D) and letters (0E), capitals as small letters.
//  - From 1 to 0xFF: no first-level weight; the hyphen, the apostrophe and the
//    other control characters count only between lines alike at the first
//    level, with this weight.
//  - 0: NUL, ignored altogether.
// Every ASCII character has the same, lowest, weight at the accent level,
// and the case level is what NORM_IGNORECASE leaves out.
constexpr std::array<std::uint16_t, 128> kWordSortWeights = {
    0x00,   0x03,   0x04,   0x05,   0x06,   0x07,   0x08,   0x09,    // 00-07
    0x0A,   0x0705, 0x0706, 0x0707, 0x0708, 0x0709, 0x0B,   0x0C,    // 08-0F
    0x0D,   0x0E,   0x0F,   0x10,   0x11,   0x12,   0x13,   0x14,    // 10-17
    0x15,   0x16,   0x17,   0x18,   0x19,   0x1A,   0x1B,   0x1C,    // 18-1F
    0x0702, 0x071C, 0x071D, 0x071F, 0x0721, 0x0723, 0x0725, 0x80,    //  !"#$%&'
    0x0727, 0x072A, 0x072D, 0x0803, 0x072F, 0x82,   0x0733, 0x0735,  // ()*+,-./
    0x0D03, 0x0D1A, 0x0D1C, 0x0D1E, 0x0D20, 0x0D22, 0x0D24, 0x0D26,  // 01234567
    0x0D28, 0x0D2A, 0x0737, 0x073A, 0x080E, 0x0812, 0x0814, 0x073C,  // 89:;<=>?
    0x073E, 0x0E02, 0x0E09, 0x0E0A, 0x0E1A, 0x0E21, 0x0E23, 0x0E25,  // @ABCDEFG
    0x0E2C, 0x0E32, 0x0E35, 0x0E36, 0x0E48, 0x0E51, 0x0E70, 0x0E7C,  // HIJKLMNO
    0x0E7E, 0x0E89, 0x0E8A, 0x0E91, 0x0E99, 0x0E9F, 0x0EA2, 0x0EA4,  // PQRSTUVW
    0x0EA6, 0x0EA7, 0x0EA9, 0x073F, 0x0741, 0x0742, 0x0743, 0x0744,  // XYZ[\]^_
    0x0748, 0x0E02, 0x0E09, 0x0E0A, 0x0E1A, 0x0E21, 0x0E23, 0x0E25,  // `abcdefg
    0x0E2C, 0x0E32, 0x0E35, 0x0E36, 0x0E48, 0x0E51, 0x0E70, 0x0E7C,  // hijklmno
    0x0E7E, 0x0E89, 0x0E8A, 0x0E91, 0x0E99, 0x0E9F, 0x0EA2, 0x0EA4,  // pqrstuvw
    0x0EA6, 0x0EA7, 0x0EA9, 0x074A, 0x074C, 0x074E, 0x0750, 0x1D,    // xyz{|}~ DEL
};

constexpr std::uint16_t kFirstLevel = 0x100;

// Bytes above 127 are given first-level weights above every ASCII one, in
// the order of their values, rather than those of a Windows code page.
constexpr std::uint16_t weightOf(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < kWordSortWeights.size() ? kWordSortWeights[byte] : static_cast<std::uint16_t>(0x1000 + byte);
}

constexpr bool hasFirstLevelWeight(char c) { return weightOf(c) >= kFirstLevel; }

// The characters of a line that have only a later-level weight, one by one,
// each with the number of first-level characters before it.
class LaterLevelCharacters {
public:
    explicit LaterLevelCharacters(std::string_view line) : line_(line) {}

    bool next(std::size_t& position, std::uint16_t& weight) {
        for (; at_ < line_.size(); ++at_) {
            const auto w = weightOf(line_[at_]);
            if (w >= kFirstLevel) {
                ++firstLevelBefore_;
            } else if (w != 0) {
                position = firstLevelBefore_;
                weight = w;
                ++at_;
                return true;
            }
        }
        return false;
    }

private:
    std::string_view line_;
    std::size_t at_ = 0;
    std::size_t firstLevelBefore_ = 0;
};

int sign(bool less) { return less ? -1 : 1; }

// How many lines of each class the list holds, in a Fenwick tree, so that
// the number in the classes before any one is counted in a few steps.
class ClassCounts {
public:
    explicit ClassCounts(std::uint32_t classes) : tree_(classes + std::size_t{1}, 0) {}

    void add(std::uint32_t inClass) {
        for (std::size_t at = inClass + std::size_t{1}; at < tree_.size(); at += at & (~at + 1)) ++tree_[at];
    }

    std::uint32_t before(std::uint32_t inClass) const {
        std::uint32_t lines = 0;
        for (std::size_t at = inClass; at > 0; at &= at - 1) lines += tree_[at];
        return lines;
    }

private:
    std::vector<std::uint32_t> tree_;  // from 1: entry i counts the classes (i - lowest bit of i, i]
};

}  // namespace

int compareInWordSort(std::string_view a, std::string_view b) {
    // The bytes both lines begin with weigh alike at every level and stand
    // alike: only what follows tells the lines apart.
    const auto common = std::mismatch(a.begin(), a.end(), b.begin(), b.end()).first - a.begin();
    a.remove_prefix(static_cast<std::size_t>(common));
    b.remove_prefix(static_cast<std::size_t>(common));

    // First level: the first-level weights in turn; a line whose run out
    // first comes first.
    std::size_t i = 0, j = 0;
    for (;; ++i, ++j) {
        while (i < a.size() && !hasFirstLevelWeight(a[i])) ++i;
        while (j < b.size() && !hasFirstLevelWeight(b[j])) ++j;
        if (i == a.size() || j == b.size()) {
            if (i != a.size() || j != b.size()) return sign(i == a.size());
            break;
        }
        if (weightOf(a[i]) != weightOf(b[j])) return sign(weightOf(a[i]) < weightOf(b[j]));
    }

    // Then the characters left out, in turn: the one that stands earlier
    // makes its line come later (the key holds 0xFFFF less its position);
    // at the same place, the smaller weight comes first. A line whose run
    // out first comes first.
    LaterLevelCharacters inA(a), inB(b);
    for (;;) {
        std::size_t positionA = 0, positionB = 0;
        std::uint16_t weightA = 0, weightB = 0;
        const bool moreA = inA.next(positionA, weightA);
        const bool moreB = inB.next(positionB, weightB);
        if (!moreA || !moreB) return moreA == moreB ? 0 : sign(!moreA);
        if (positionA != positionB) return sign(positionA > positionB);
        if (weightA != weightB) return sign(weightA < weightB);
    }
}

int compareInListOrder(std::string_view a, std::string_view b) {
    if (const auto system = platform::compareAsTheListBoxDoes(a, b)) return *system;
    return compareInWordSort(a, b);
}

void SortedLineList::resetContent() {
    lines_.clear();
    placed_ = 0;
}

void SortedLineList::addString(std::string_view line) { lines_.emplace_back(line); }

// Placing the lines as the list box does, one binary search each over the
// list as it stands, takes one insertion into the list per line: quadratic
// for a large folder. But the search needs no text: at each line it meets it
// only asks whether that line goes before the new one, after it, or is alike.
// So the lines are sorted once into classes of alike lines; a search then
// only needs where the new line's class stands in the list and how many
// lines it holds, and gives the new line's rank among the lines of its class
// then in the list. The ranks alone fix the order within each class, which
// is worked out at the end from the last line added back to the first: the
// last one has exactly its rank of lines of its class before it, and taking
// it away leaves the list as it was before it came. Every step is a search
// or a walk of a tree of n leaves, so n alike lines cost O(n log n), not a
// walk along the class for each one.
namespace {

// Free places among `count`, in a Fenwick tree: how many are free before a
// place, and which is the k-th free one, each in log2(count) steps.
class FreePlaces {
public:
    FreePlaces(std::uint32_t count, PlacementWork& work) : tree_(count + std::size_t{1}, 0), work_(work) {
        for (std::size_t at = 1; at < tree_.size(); ++at) {
            ++tree_[at];
            const auto parent = at + (at & (~at + 1));
            if (parent < tree_.size()) tree_[parent] += tree_[at];
        }
        for (highestStep_ = 1; highestStep_ * 2 < tree_.size();) highestStep_ *= 2;
    }

    std::uint32_t freeBefore(std::uint32_t place) const {
        std::uint32_t free = 0;
        for (std::size_t at = place; at > 0; at &= at - 1, ++work_.steps) free += tree_[at];
        return free;
    }

    // The place of the free one that has `k` free ones before it; there must be one.
    std::uint32_t kthFree(std::uint32_t k) const {
        std::size_t at = 0;
        for (std::size_t step = highestStep_; step > 0; step /= 2, ++work_.steps) {
            if (at + step < tree_.size() && tree_[at + step] <= k) {
                at += step;
                k -= tree_[at];
            }
        }
        return static_cast<std::uint32_t>(at);  // the tree counts from 1: leaf at + 1 is place at
    }

    void take(std::uint32_t place) {
        for (std::size_t at = place + std::size_t{1}; at < tree_.size(); at += at & (~at + 1), ++work_.steps) {
            --tree_[at];
        }
    }

private:
    std::vector<std::uint32_t> tree_;  // from 1: entry i counts the free places in (i - lowest bit of i, i]
    std::size_t highestStep_ = 1;
    PlacementWork& work_;
};

// Each line's class, numbered in list order, and how many classes there are.
struct Classes {
    std::vector<std::uint32_t> of;
    std::uint32_t count = 0;
};

Classes classesOf(const std::vector<std::string>& lines, SortedLineList::Comparison compare, PlacementWork& work) {
    const auto count = static_cast<std::uint32_t>(lines.size());
    // A line the same to the byte as the one added before it is of its
    // class: only the others are sorted. Speed: the members of a collection
    // that all name one directory give one run of such lines.
    // The sort moves views with their index rather than bare indices: one
    // step less to each text.
    struct View {
        std::string_view text;
        std::uint32_t line;
    };
    std::vector<View> sorted;
    for (std::uint32_t line = 0; line < count; ++line) {
        if (line == 0 || lines[line] != lines[line - 1]) sorted.push_back({lines[line], line});
    }
    const auto counted = [&](std::string_view a, std::string_view b) {
        ++work.comparisons;
        return compare(a, b);
    };
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](const View& a, const View& b) { return counted(a.text, b.text) < 0; });
    Classes classes;
    classes.of.resize(count);
    for (std::size_t i = 0; i < sorted.size(); ++i) {
        if (i == 0 || counted(sorted[i - 1].text, sorted[i].text) != 0) ++classes.count;
        classes.of[sorted[i].line] = classes.count - 1;
    }
    for (std::uint32_t line = 1; line < count; ++line) {
        if (lines[line] == lines[line - 1]) classes.of[line] = classes.of[line - 1];
    }
    return classes;
}

// The rank among the `alike` lines of its class that the list box's binary
// search gives a new line, when the list holds `held` lines and those of
// the classes before the line's own number `start`. The search stops at the
// first line alike with the new one and puts the new one before it;
// otherwise the new one goes where the search ends, which is where its
// class, then empty, stands. The middle is that of the first and last lines
// left, rounded down.
std::uint32_t rankInClass(std::uint32_t held, std::uint32_t start, std::uint32_t alike, PlacementWork& work) {
    std::uint32_t low = 0, high = held;
    while (low < high) {
        ++work.steps;
        const std::uint32_t middle = (low + high - 1) / 2;
        if (middle < start) {
            low = middle + 1;
        } else if (middle >= start + alike) {
            high = middle;
        } else {
            return middle - start;
        }
    }
    return 0;
}

// The positions of `lines` in list order: the first `placed` are already in
// list order, and those after them are added one by one.
std::vector<std::size_t> placeInList(const std::vector<std::string>& lines, std::size_t placed,
                                     SortedLineList::Comparison compare, PlacementWork& work) {
    const auto count = static_cast<std::uint32_t>(lines.size());
    const auto classes = classesOf(lines, compare, work);

    // Each line's rank in its class when it came: a line already placed
    // comes after those of its class placed before it.
    std::vector<std::uint32_t> rank(count), size(classes.count, 0);
    ClassCounts counts(classes.count);
    for (std::uint32_t line = 0; line < count; ++line) {
        const std::uint32_t own = classes.of[line];
        rank[line] = line < placed ? size[own] : rankInClass(line, counts.before(own), size[own], work);
        ++size[own];
        counts.add(own);
    }

    // Class c takes the places from the number of lines of the classes
    // before it; the last line added takes the free place of its rank there.
    std::vector<std::uint32_t> firstPlace(classes.count, 0);
    for (std::uint32_t c = 1; c < classes.count; ++c) firstPlace[c] = firstPlace[c - 1] + size[c - 1];
    FreePlaces free(count, work);
    std::vector<std::size_t> order(count);
    for (auto line = count; line-- > 0;) {
        const auto place = free.kthFree(free.freeBefore(firstPlace[classes.of[line]]) + rank[line]);
        free.take(place);
        order[place] = line;
    }
    return order;
}

}  // namespace

std::vector<std::size_t> listBoxOrder(const std::vector<std::string>& lines, PlacementWork* work) {
    PlacementWork uncounted;
    return placeInList(lines, 0, compareInListOrder, work ? *work : uncounted);
}

const std::vector<std::string>& SortedLineList::lines() const {
    if (placed_ == lines_.size()) return lines_;
    std::vector<std::string> inOrder;
    inOrder.reserve(lines_.size());
    for (const auto line : placeInList(lines_, placed_, compare_, work_)) inOrder.push_back(std::move(lines_[line]));
    lines_ = std::move(inOrder);
    placed_ = lines_.size();
    return lines_;
}

}  // namespace selection
