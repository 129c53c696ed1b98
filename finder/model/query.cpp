#include "finder/model/query.h"

#include "coverage/character_properties.h"
#include "coverage/coverage_rows.h"
#include "coverage/languages.h"
#include "finder/model/text.h"

namespace finder {

namespace {

char folded(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
    return c == '_' ? '-' : c;
}

std::string foldedText(std::string_view text) {
    std::string out(text);
    for (auto& c : out) c = folded(c);
    return out;
}

std::string_view matchName(coverage::MatchMode match) {
    switch (match) {
        case coverage::MatchMode::declared:
            return "declared";
        case coverage::MatchMode::covered:
            return "covered";
        case coverage::MatchMode::both:
            return "declared and covered";
    }
    return "covered";
}

std::uint64_t sizeOf(const std::vector<fontfile::CodePointRange>& runs) {
    std::uint64_t size = 0;
    for (const auto& run : runs) size += run.size();
    return size;
}

}  // namespace

bool isDrawn(char32_t c) { return !(c < 0x20 || (c >= 0x7F && c <= 0x9F)) && !coverage::isFormatCharacter(c); }

std::vector<fontfile::CodePointRange> drawnCodePoints(std::u16string_view text) {
    std::vector<fontfile::CodePointRange> runs;
    for (const auto c : codePointsOfUtf16(text)) {
        if (isDrawn(c)) runs.push_back({c, c});
    }
    return fontfile::sortedAndMerged(std::move(runs));
}

coverage::CoverageRequest coverageRequestOf(const Query& query) {
    coverage::CoverageRequest request;
    request.rows = query.blocks;
    request.languages = query.languages;
    request.codePoints = drawnCodePoints(query.text);
    request.match = query.match;
    // A near miss counts the code points missing, which only the character
    // map tells: the declared bits alone have no near misses.
    if (query.match != coverage::MatchMode::declared) request.near = query.near;
    return request;
}

std::string describeQuery(const Query& query) {
    std::vector<std::string> parts;
    const auto characters = sizeOf(drawnCodePoints(query.text));
    if (characters > 0) {
        parts.push_back(withThousandsSeparators(characters) + (characters == 1 ? " character" : " characters"));
    }
    for (const auto language : query.languages) parts.push_back(std::string(coverage::languages()[language].name));
    for (const auto block : query.blocks) parts.push_back(std::string(coverage::coverageRows()[block].name));
    if (parts.empty()) return "nothing asked";
    std::string text;
    for (const auto& part : parts) text += (text.empty() ? "" : ", ") + part;
    text += "; " + std::string(matchName(query.match));
    if (query.near && query.match != coverage::MatchMode::declared) {
        text += ", near misses up to " + withThousandsSeparators(*query.near);
    }
    return text;
}

std::string statusText(std::size_t shown, std::size_t total, const Query& query) {
    return withThousandsSeparators(shown) + " of " + withThousandsSeparators(total) +
           (total == 1 ? " font for " : " fonts for ") + describeQuery(query);
}

std::vector<std::size_t> languagesMatching(std::string_view typed) {
    const auto wanted = foldedText(typed);
    std::vector<std::size_t> starting, within;
    const auto all = coverage::languages();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const auto tag = foldedText(all[i].tag), name = foldedText(all[i].name);
        if (tag.starts_with(wanted) || name.starts_with(wanted)) {
            starting.push_back(i);
        } else if (name.find(wanted) != std::string::npos) {
            within.push_back(i);
        }
    }
    starting.insert(starting.end(), within.begin(), within.end());
    return starting;
}

}  // namespace finder
