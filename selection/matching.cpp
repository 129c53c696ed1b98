#include "selection/matching.h"

#include <algorithm>
#include <vector>

#include "selection/unicode_blocks.h"

namespace selection {

std::array<std::int32_t, kMaxRequiredBits> requiredBits{};
std::int32_t requiredCount = 0;
ResultList* resultList = nullptr;

using inventory::FontInventory;
using inventory::slotText;

bool coversAll(const inventory::UnicodeRangeSet& ranges, std::span<const std::int32_t> bits) {
    return std::all_of(bits.begin(), bits.end(), [&](std::int32_t bit) {
        if (bit < 0 || bit > 127) return false;
        return ((ranges[static_cast<std::size_t>(bit / 32)] >> (bit % 32)) & 1u) != 0;
    });
}

namespace {

std::string line(std::string_view fullName, std::string_view separator, std::string_view fileName) {
    std::string text;
    text.reserve(fullName.size() + separator.size() + fileName.size() + 1);
    text.append(fullName).append(separator).append(fileName).append(")");
    return text;
}

// Every line to list, in the order they are added: single-font files by
// index, then collection members file by file. A released inventory has none.
std::vector<std::string> matchingLines(const FontInventory& fonts, std::span<const std::int32_t> bits) {
    std::vector<std::string> lines;
    if (fonts.singleRecords && fonts.singleFullNames && fonts.singleFileNames) {
        for (std::int32_t i = 0; i < fonts.singleCount; ++i) {
            const auto at = static_cast<std::size_t>(i);
            if (!coversAll(fonts.singleRecords[at].ranges, bits)) continue;
            lines.push_back(singleFontLine(slotText(fonts.singleFullNames[at]), slotText(fonts.singleFileNames[at])));
        }
    }
    if (fonts.collectionRecords && fonts.collectionFileNames) {
        const auto files = std::min(fonts.collectionCount, inventory::MaxCollections);
        for (std::int32_t c = 0; c < files; ++c) {
            const auto file = static_cast<std::size_t>(c);
            const auto members = std::min(fonts.memberCounts[file], inventory::MaxMembers);
            for (std::int32_t m = 0; m < members; ++m) {
                const auto& record =
                    fonts.collectionRecords[file * inventory::MaxMembers + static_cast<std::size_t>(m)];
                if (!coversAll(record.ranges, bits)) continue;
                lines.push_back(memberLine(slotText(record.fullName), slotText(fonts.collectionFileNames[file])));
            }
        }
    }
    return lines;
}

}  // namespace

void takeSelectedBlocks(std::span<const std::int32_t> positions) {
    std::int32_t count = 0;
    for (const auto position : positions) {
        if (position < 0 || position >= kBlockCount || count == kMaxRequiredBits) continue;
        requiredBits[static_cast<std::size_t>(count++)] = blockRangeBit(position);
    }
    requiredCount = count;
}

std::string singleFontLine(std::string_view fullName, std::string_view fileName) {
    return line(fullName, "   (", fileName);
}

std::string memberLine(std::string_view fullName, std::string_view collectionFileName) {
    return line(fullName, "  (", collectionFileName);
}

void listMatchingFonts(const FontInventory& fonts, std::span<const std::int32_t> bits, ResultList& list) {
    const auto lines = matchingLines(fonts, bits);
    list.resetContent();
    for (const auto& text : lines) list.addString(text);
}

void listMatchingFonts() {
    if (!resultList) return;
    const auto count = static_cast<std::size_t>(std::clamp(requiredCount, 0, kMaxRequiredBits));
    listMatchingFonts(inventory::fontInventory, std::span(requiredBits).first(count), *resultList);
}

}  // namespace selection
