// The answer to the user's question: every font whose range bits cover all
// the required blocks, one line each, in the result list.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "inventory/font_inventory.h"
#include "selection/result_list.h"

namespace selection {

inline constexpr int kMaxRequiredBits = 100;

// The selection state that "Select Block " writes and the matching reads:
// entries 0 to requiredCount - 1 of requiredBits are range bits to test.
extern std::array<std::int32_t, kMaxRequiredBits> requiredBits;
extern std::int32_t requiredCount;
// Where listMatchingFonts writes its lines; nothing is listed while null.
extern ResultList* resultList;

// Makes the selection state from the positions selected in the block list,
// in list order: requiredCount becomes the number of positions, and entry i
// of requiredBits the range bit of the row at position i. Positions that name
// no row of the table are passed over, as are those past the 100th.
void takeSelectedBlocks(std::span<const std::int32_t> positions);

// True when bit n of the set is set for every n of `bits` (so always for no
// bits). A bit outside 0..127 is never covered.
bool coversAll(const inventory::UnicodeRangeSet& ranges, std::span<const std::int32_t> bits);

// "<full name>   (<file>)" for a single-font file, "<full name>  (<file>)"
// for a collection member: the separators tell the two apart. Never cut.
std::string singleFontLine(std::string_view fullName, std::string_view fileName);
std::string memberLine(std::string_view fullName, std::string_view collectionFileName);

// Empties `list` and adds the line of every font of `fonts` that covers
// `bits`: single-font files first, then collection members.
void listMatchingFonts(const inventory::FontInventory& fonts, std::span<const std::int32_t> bits, ResultList& list);

// The same over the process-wide inventory, selection state and result list.
void listMatchingFonts();

}  // namespace selection
