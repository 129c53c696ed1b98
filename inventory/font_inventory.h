// The FontInventory: every font of the fonts folder, read once at start and
// kept for the life of the process. Single-font files (*.ttf) and the members
// of collections (*.ttc) are kept apart, each in the order in which the
// directory search returned its file.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "fontfile/sfnt.h"
#include "platform/platform.h"

namespace inventory {

using fontfile::NameSlot;

// A file name as the directory search returns it (at most 259 characters and
// a zero), so that every name fits its own slot whole.
using FileNameSlot = std::array<char, platform::kMaxPath>;

using fontfile::UnicodeRangeSet;

struct FontRecord {
    UnicodeRangeSet ranges{};
    NameSlot fullName{};  // collection members only; single fonts keep theirs in singleFullNames
};

inline constexpr int MaxCollections = 50;
inline constexpr int MaxMembers = 50;

struct FontInventory {
    std::string fontsDirectory;  // at most 259 characters; empty when there is none

    std::int32_t singleCount = 0;
    std::unique_ptr<FileNameSlot[]> singleFileNames;
    std::unique_ptr<NameSlot[]> singleFullNames;
    std::unique_ptr<FontRecord[]> singleRecords;

    std::int32_t collectionCount = 0;  // never above MaxCollections
    std::unique_ptr<FileNameSlot[]> collectionFileNames;
    std::array<std::int32_t, MaxCollections> memberCounts{};  // each at most the 10 members read
    std::unique_ptr<FontRecord[]> collectionRecords;          // MaxMembers per collection file
};

// The process-wide inventory.
extern FontInventory fontInventory;

// Builds the process-wide inventory from the fonts folder of the Windows
// directory. Both directory searches end before the first font is read.
void buildInventory();
// Frees the inventory's five blocks, each once; later calls do nothing. The
// counts keep their values.
void releaseInventory();

// The same over any inventory and fonts directory (a directory of more than
// 259 characters, like a missing one, gives an empty inventory).
void buildInventory(FontInventory& target, std::string_view fontsDirectory);
void releaseInventory(FontInventory& target);

// The fonts directory formed from a Windows directory: "<windows>\fonts", or
// empty when there is no Windows directory or the result would not fit.
std::string fontsDirectoryOf(std::string_view windowsDirectory);

// The zero-terminated text of a slot (all of it, should it lack the zero).
template <std::size_t N>
std::string_view slotText(const std::array<char, N>& slot) {
    return {slot.data(), static_cast<std::size_t>(std::find(slot.begin(), slot.end(), '\0') - slot.begin())};
}

}  // namespace inventory
