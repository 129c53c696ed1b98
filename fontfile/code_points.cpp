#include "fontfile/code_points.h"

#include <algorithm>

namespace fontfile {

std::vector<CodePointRange> sortedAndMerged(std::vector<CodePointRange> runs) {
    const auto byFirst = [](const CodePointRange& a, const CodePointRange& b) { return a.first < b.first; };
    if (!std::is_sorted(runs.begin(), runs.end(), byFirst)) std::sort(runs.begin(), runs.end(), byFirst);
    std::vector<CodePointRange> merged;
    for (const auto& run : runs) {
        if (!merged.empty() && run.first <= merged.back().last + 1) {
            merged.back().last = std::max(merged.back().last, run.last);
        } else {
            merged.push_back(run);
        }
    }
    return merged;
}

std::uint32_t countOf(std::span<const CodePointRange> runs) {
    std::uint32_t count = 0;
    for (const auto& run : runs) count += run.size();
    return count;
}

std::uint32_t countCommon(std::span<const CodePointRange> a, std::span<const CodePointRange> b) {
    std::uint32_t common = 0;
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const auto first = std::max(a[i].first, b[j].first);
        const auto last = std::min(a[i].last, b[j].last);
        if (first <= last) common += CodePointRange{first, last}.size();
        // The run that ends first can meet nothing further on in the other list.
        if (a[i].last < b[j].last) {
            ++i;
        } else {
            ++j;
        }
    }
    return common;
}

std::vector<CodePointRange> withoutCodePoints(std::span<const CodePointRange> from,
                                              std::span<const CodePointRange> taken) {
    std::vector<CodePointRange> left;
    auto next = taken.begin();
    for (auto run : from) {
        while (next != taken.end() && next->last < run.first) ++next;
        auto cut = next;
        bool emptied = false;
        while (cut != taken.end() && cut->first <= run.last) {
            if (cut->first > run.first) left.push_back({run.first, static_cast<char32_t>(cut->first - 1)});
            if (cut->last >= run.last) {
                emptied = true;
                break;
            }
            run.first = cut->last + 1;
            ++cut;
        }
        if (!emptied) left.push_back(run);
    }
    return left;
}

MissingCodePoints findMissing(std::span<const CodePointRange> wanted, std::span<const CodePointRange> present,
                              std::span<char32_t> firstMissing) {
    MissingCodePoints missing;
    const auto note = [&](char32_t first, char32_t last) {
        missing.total += CodePointRange{first, last}.size();
        for (auto c = first; c <= last && missing.listed < firstMissing.size(); ++c) firstMissing[missing.listed++] = c;
    };
    std::size_t j = 0;
    for (const auto& run : wanted) {
        auto next = run.first;  // the first code point of `run` not yet accounted for
        while (j < present.size() && present[j].last < next) ++j;
        bool reachedEnd = false;
        // A present run that goes on past this wanted run stays current for the next one.
        for (; j < present.size() && present[j].first <= run.last; ++j) {
            if (present[j].first > next) note(next, present[j].first - 1);
            if (present[j].last >= run.last) {
                reachedEnd = true;
                break;
            }
            next = present[j].last + 1;
        }
        if (!reachedEnd) note(next, run.last);
    }
    return missing;
}

}  // namespace fontfile
