#include "coverage/cover.h"

#include <algorithm>
#include <iterator>
#include <map>
#include <queue>
#include <set>
#include <tuple>

#include "platform/ascii.h"

namespace coverage {

namespace {

using fontfile::CodePointRange;

// A candidate as the choice ranks it, as of `picks` faces picked. Its gain
// only falls as more are picked; its family only joins the picked ones, and
// then every candidate of the family is ranked afresh.
struct Rank {
    std::uint32_t gain = 0;
    bool familyPicked = false;
    std::size_t candidate = 0;
    std::size_t picks = 0;
};

class Ranking {
public:
    explicit Ranking(std::span<const CoverCandidate> candidates) : candidates_(candidates) {}

    // Whether `a` goes before `b`.
    bool before(const Rank& a, const Rank& b) const {
        const auto& x = candidates_[a.candidate];
        const auto& y = candidates_[b.candidate];
        // Fewer is worse for the gain; for the rest, true and smaller are better.
        return std::make_tuple(b.gain, !a.familyPicked, !x.regular, std::string_view(x.name), a.candidate) <
               std::make_tuple(a.gain, !b.familyPicked, !y.regular, std::string_view(y.name), b.candidate);
    }

private:
    std::span<const CoverCandidate> candidates_;
};

bool endsWithWord(std::string_view name, std::string_view word) {
    if (name.size() <= word.size()) return false;
    const auto tail = name.substr(name.size() - word.size());
    return name[name.size() - word.size() - 1] == ' ' && platform::equalIgnoringAsciiCase(tail, word);
}

}  // namespace

Cover greedyCover(std::span<const CodePointRange> wanted, std::span<const CoverCandidate> candidates) {
    Cover cover;
    std::vector<CodePointRange> uncovered(wanted.begin(), wanted.end());
    std::map<std::string_view, std::vector<std::size_t>> families;  // the candidates of each family
    for (std::size_t i = 0; i < candidates.size(); ++i) families[candidates[i].family].push_back(i);
    std::set<std::string_view> picked;  // the families picked

    const Ranking ranking(candidates);
    const auto after = [&](const Rank& a, const Rank& b) { return ranking.before(b, a); };
    std::priority_queue<Rank, std::vector<Rank>, decltype(after)> ranks(after);
    const auto rank = [&](std::size_t i) {
        const auto gain = fontfile::countCommon(candidates[i].usable, uncovered);
        if (gain > 0) ranks.push({gain, picked.contains(candidates[i].family), i, cover.steps.size()});
    };
    for (std::size_t i = 0; i < candidates.size(); ++i) rank(i);
    // Lazy greedy: a rank from before the last pick is ranked again; one as
    // of now that comes first is the best there is.
    while (!ranks.empty()) {
        const auto top = ranks.top();
        ranks.pop();
        if (top.picks != cover.steps.size()) {
            rank(top.candidate);
            continue;
        }
        const auto& candidate = candidates[top.candidate];
        cover.steps.push_back({top.candidate, top.gain});
        uncovered = fontfile::withoutCodePoints(uncovered, candidate.usable);
        if (picked.insert(candidate.family).second) {
            for (const auto i : families[candidate.family]) rank(i);
        }
    }
    cover.uncoveredCount = fontfile::countOf(uncovered);
    cover.uncovered = std::move(uncovered);
    return cover;
}

std::string familyOf(std::string_view fullName) {
    // Letters in either case: "SemiBold" is "Semibold".
    static constexpr std::string_view kStyleWords[] = {
        "Regular",   "Italic",     "Oblique",    "Bold",     "Light",     "Thin",     "Medium",
        "Black",     "Heavy",      "Book",       "Roman",    "Semibold",  "Demibold", "Extrabold",
        "Ultrabold", "Extralight", "Ultralight", "Hairline", "Semilight", "Demi",     "Normal"};
    while (true) {
        const auto word = std::find_if(std::begin(kStyleWords), std::end(kStyleWords),
                                       [&](std::string_view style) { return endsWithWord(fullName, style); });
        if (word == std::end(kStyleWords)) break;
        fullName.remove_suffix(word->size() + 1);
    }
    return std::string(fullName);
}

}  // namespace coverage
