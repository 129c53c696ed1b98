#include "inventory/font_inventory.h"

#include <algorithm>
#include <array>
#include <limits>
#include <new>
#include <string_view>

#include "fontfile/font_reader.h"
#include "inventory/folder_search.h"

namespace inventory {

FontInventory fontInventory;

namespace {

using fontfile::Os2Prefix;

template <typename T>
std::unique_ptr<T[]> allocateZeroed(std::size_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]());
}

// Gives each found file a zero-filled name slot; returns the file count.
std::int32_t enumerate(const std::string& folder, const char* filePattern, std::size_t limit,
                       std::unique_ptr<FileNameSlot[]>& slots) {
    // One search gives both the count and the names, so no slot can be left
    // without a file.
    const auto names = findFiles(folder, filePattern, limit);
    slots = allocateZeroed<FileNameSlot>(names.count);
    if (!slots) return 0;
    std::size_t i = 0;
    names.forEach([&](std::string_view name) { std::copy(name.begin(), name.end(), slots[i++].begin()); });
    return static_cast<std::int32_t>(names.count);
}

void readSingleFonts(FontInventory& target) {
    const auto count = static_cast<std::size_t>(target.singleCount);
    target.singleFullNames = allocateZeroed<NameSlot>(count);
    target.singleRecords = allocateZeroed<FontRecord>(count);
    if (!target.singleFullNames || !target.singleRecords) {
        target.singleCount = 0;
        return;
    }
    PathBuffer path;
    for (std::size_t i = 0; i < count; ++i) {
        // A path that does not fit cannot be opened: an empty record, like any unreadable file.
        if (!joinPath(target.fontsDirectory, slotText(target.singleFileNames[i]), path)) continue;
        Os2Prefix prefix{};
        fontfile::readOs2Prefix(path.data(), prefix);
        fontfile::readFullName(path.data(), target.singleFullNames[i]);
        target.singleRecords[i].ranges = fontfile::rangesOf(prefix);
    }
}

// Members beyond the tenth are never read, so they are not counted either:
// they would be listed as fonts without a name or a range.
std::int32_t membersKept(std::int32_t reported) {
    return static_cast<std::int32_t>(std::min(static_cast<std::uint32_t>(reported), fontfile::kMaxMembersRead));
}

void readCollection(const char* path, std::int32_t& memberCount, std::span<FontRecord, MaxMembers> records) {
    std::array<Os2Prefix, MaxMembers> prefixes{};
    std::array<NameSlot, MaxMembers> names{};
    fontfile::readCollectionOs2Prefixes(path, memberCount, prefixes);
    memberCount = membersKept(memberCount);
    fontfile::readCollectionFullNames(path, names);
    for (std::int32_t j = 0; j < memberCount; ++j) {
        const auto m = static_cast<std::size_t>(j);
        records[m].ranges = fontfile::rangesOf(prefixes[m]);
        const auto name = slotText(names[m]);
        std::copy(name.begin(), name.end(), records[m].fullName.begin());
    }
}

void readCollections(FontInventory& target) {
    const auto count = static_cast<std::size_t>(target.collectionCount);
    target.collectionRecords = allocateZeroed<FontRecord>(count * MaxMembers);
    if (!target.collectionRecords) {
        target.collectionCount = 0;
        return;
    }
    PathBuffer path;
    for (std::size_t k = 0; k < count; ++k) {
        if (!joinPath(target.fontsDirectory, slotText(target.collectionFileNames[k]), path)) continue;
        readCollection(path.data(), target.memberCounts[k],
                       std::span<FontRecord, MaxMembers>(&target.collectionRecords[k * MaxMembers], MaxMembers));
    }
}

}  // namespace

std::string fontsDirectoryOf(std::string_view windowsDirectory) {
    PathBuffer folder;
    if (windowsDirectory.empty() || !joinPath(windowsDirectory, "fonts", folder)) return {};
    return folder.data();
}

void buildInventory(FontInventory& target, std::string_view fontsDirectory) {
    target.fontsDirectory = fontsDirectory.size() < platform::kMaxPath ? std::string(fontsDirectory) : std::string();
    // The reader leaves a count alone when it cannot read the file, so every
    // count must start at 0, also when this inventory was built before.
    target.memberCounts.fill(0);
    target.singleCount =
        enumerate(target.fontsDirectory, "*.ttf", std::numeric_limits<std::int32_t>::max(), target.singleFileNames);
    // Only MaxCollections files have a member count: the later ones are not listed.
    target.collectionCount = enumerate(target.fontsDirectory, "*.ttc", MaxCollections, target.collectionFileNames);
    readSingleFonts(target);
    readCollections(target);
}

void releaseInventory(FontInventory& target) {
    target.singleFileNames.reset();
    target.singleFullNames.reset();
    target.singleRecords.reset();
    target.collectionFileNames.reset();
    target.collectionRecords.reset();
}

void buildInventory() { buildInventory(fontInventory, fontsDirectoryOf(platform::windowsDirectory())); }

void releaseInventory() { releaseInventory(fontInventory); }

}  // namespace inventory
