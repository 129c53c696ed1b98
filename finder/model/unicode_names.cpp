#include "finder/model/unicode_names.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>
#include <vector>

#include "finder/model/unicode_names_data.h"

namespace finder {

namespace {

using names_data::kNames;

constexpr std::string_view kFinalDigits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef";
constexpr std::string_view kMoreDigits = "ghijklmnopqrstuvwxyz0123456789-_";
constexpr unsigned kDigitBits = 5;

const std::vector<std::string_view>& words() {
    static const std::vector<std::string_view> split = [] {
        std::vector<std::string_view> list;
        const std::string_view all(names_data::kWords);
        for (std::size_t at = 0; at <= all.size();) {
            const auto end = std::min(all.find(' ', at), all.size());
            list.push_back(all.substr(at, end - at));
            at = end + 1;
        }
        return list;
    }();
    return split;
}

// The name whose encoding starts at `at` in kNames.
std::string decodeName(std::size_t at) {
    std::string name;
    std::size_t index = 0;
    for (; kNames[at] != ' ' && kNames[at] != '\0'; ++at) {
        const char c = kNames[at];
        if (const auto more = kMoreDigits.find(c); more != std::string_view::npos) {
            index = index << kDigitBits | more;
            continue;
        }
        index = index << kDigitBits | kFinalDigits.find(c);
        if (index < words().size()) name += (name.empty() ? "" : " ") + std::string(words()[index]);
        index = 0;
    }
    return name;
}

std::string explicitName(char32_t codePoint) {
    const auto* runs = names_data::kRuns;
    const auto* end = runs + names_data::kRunCount;
    const auto* run = std::upper_bound(runs, end, codePoint, [](char32_t c, const auto& r) { return c < r.first; });
    if (run == runs) return {};
    --run;
    if (codePoint - run->first >= run->count) return {};
    std::size_t at = run->offset;
    for (auto skip = codePoint - run->first; skip > 0; --skip) {
        while (kNames[at] != ' ') ++at;
        ++at;
    }
    return decodeName(at);
}

std::string hexDigits(char32_t codePoint) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(codePoint));
    return text;
}

// The standard's names of the Hangul syllables, made from their jamo.
constexpr char32_t kHangulFirst = 0xAC00;
constexpr char32_t kHangulCount = 11172;
constexpr std::array<std::string_view, 19> kLeading = {"G",  "GG", "N", "D",  "DD", "R", "M", "B", "BB", "S",
                                                       "SS", "",   "J", "JJ", "C",  "K", "T", "P", "H"};
constexpr std::array<std::string_view, 21> kVowels = {"A",   "AE", "YA", "YAE", "EO", "E",  "YEO",
                                                      "YE",  "O",  "WA", "WAE", "OE", "YO", "U",
                                                      "WEO", "WE", "WI", "YU",  "EU", "YI", "I"};
constexpr std::array<std::string_view, 28> kTrailing = {"",   "G",  "GG", "GS", "N",  "NJ", "NH", "D", "L",  "LG",
                                                        "LM", "LB", "LS", "LT", "LP", "LH", "M",  "B", "BS", "S",
                                                        "SS", "NG", "J",  "C",  "K",  "T",  "P",  "H"};

std::string hangulName(char32_t codePoint) {
    const auto s = codePoint - kHangulFirst;
    return "HANGUL SYLLABLE " + std::string(kLeading[s / 588]) + std::string(kVowels[(s % 588) / 28]) +
           std::string(kTrailing[s % 28]);
}

}  // namespace

std::string characterName(char32_t codePoint) {
    if (codePoint >= kHangulFirst && codePoint < kHangulFirst + kHangulCount) return hangulName(codePoint);
    for (std::size_t i = 0; i < names_data::kPrefixRangeCount; ++i) {
        const auto& range = names_data::kPrefixRanges[i];
        if (codePoint >= range.first && codePoint <= range.last) {
            return names_data::kPrefixes[range.prefix] + hexDigits(codePoint);
        }
    }
    return explicitName(codePoint);
}

std::string codePointLabel(char32_t codePoint) { return "U+" + hexDigits(codePoint); }

}  // namespace finder
