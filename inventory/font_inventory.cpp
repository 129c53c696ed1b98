#include "inventory/font_inventory.h"

#include <algorithm>
#include <limits>
#include <new>
#include <optional>

#include "fontfile/font_reader.h"

namespace inventory {

FontInventory fontInventory;

namespace {

using fontfile::Os2Prefix;

template <typename T>
std::unique_ptr<T[]> allocateZeroed(std::size_t count) {
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]());
}

// "<folder>\<name>", or nothing when it would not fit a 260-byte path: a cut
// path could name another file.
std::optional<std::string> joinPath(std::string_view folder, std::string_view name) {
    if (folder.size() + 1 + name.size() >= platform::kMaxPath) return std::nullopt;
    std::string path(folder);
    path += '\\';
    path += name;
    return path;
}

bool isFile(const platform::FoundEntry& entry) { return (entry.attributes & platform::kFileAttributeDirectory) == 0; }

// Counting pass: the entries of the search that are not directories.
std::int32_t countFiles(const std::string& pattern, std::int32_t limit) {
    platform::FileSearch search(pattern);
    platform::FoundEntry entry;
    std::int32_t count = 0;
    while (count < limit && search.next(entry)) count += isFile(entry) ? 1 : 0;
    return count;
}

// Name pass: stores up to `capacity` names in search order and returns how
// many it stored, which is fewer than counted if files went meanwhile.
std::int32_t storeFileNames(const std::string& pattern, FileNameSlot* names, std::int32_t capacity) {
    platform::FileSearch search(pattern);
    platform::FoundEntry entry;
    std::int32_t stored = 0;
    while (stored < capacity && search.next(entry)) {
        if (!isFile(entry) || entry.fileName.size() >= platform::kMaxPath) continue;
        std::copy(entry.fileName.begin(), entry.fileName.end(), names[stored].begin());
        ++stored;
    }
    return stored;
}

// Finds the files matching `filePattern` and gives each a zero-filled name
// slot; the count becomes the number of names actually stored, so that no
// slot without a file is ever listed. Without a fonts directory there are none.
std::int32_t enumerate(const std::string& folder, const char* filePattern, std::int32_t limit,
                       std::unique_ptr<FileNameSlot[]>& names) {
    const auto pattern = folder.empty() ? std::nullopt : joinPath(folder, filePattern);
    const std::int32_t counted = pattern ? countFiles(*pattern, limit) : 0;
    names = allocateZeroed<FileNameSlot>(static_cast<std::size_t>(counted));
    if (!names) return 0;
    return counted > 0 ? storeFileNames(*pattern, names.get(), counted) : 0;
}

UnicodeRangeSet rangesOf(const Os2Prefix& prefix) {
    UnicodeRangeSet ranges{};
    for (std::size_t w = 0; w < ranges.size(); ++w) {
        ranges[w] = fontfile::loadU32(prefix, fontfile::kUnicodeRangeOffset + 4 * w);
    }
    return ranges;
}

void readSingleFonts(FontInventory& target) {
    const auto count = static_cast<std::size_t>(target.singleCount);
    target.singleFullNames = allocateZeroed<NameSlot>(count);
    target.singleRecords = allocateZeroed<FontRecord>(count);
    if (!target.singleFullNames || !target.singleRecords) {
        target.singleCount = 0;
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const auto path = joinPath(target.fontsDirectory, slotText(target.singleFileNames[i]));
        if (!path) continue;  // cannot be opened: an empty record, like any unreadable file
        Os2Prefix prefix{};
        fontfile::readOs2Prefix(path->c_str(), prefix);
        fontfile::readFullName(path->c_str(), target.singleFullNames[i]);
        target.singleRecords[i].ranges = rangesOf(prefix);
    }
}

// Members beyond the tenth are never read, so they are not counted either:
// they would be listed as fonts without a name or a range.
std::int32_t membersKept(std::int32_t reported) {
    return static_cast<std::int32_t>(std::min(static_cast<std::uint32_t>(reported), fontfile::kMaxMembersRead));
}

void readCollection(const std::string& path, std::int32_t& memberCount, std::span<FontRecord, MaxMembers> records) {
    std::array<Os2Prefix, MaxMembers> prefixes{};
    std::array<NameSlot, MaxMembers> names{};
    fontfile::readCollectionOs2Prefixes(path.c_str(), memberCount, prefixes);
    memberCount = membersKept(memberCount);
    fontfile::readCollectionFullNames(path.c_str(), names);
    for (std::int32_t j = 0; j < memberCount; ++j) {
        const auto m = static_cast<std::size_t>(j);
        records[m].ranges = rangesOf(prefixes[m]);
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
    for (std::size_t k = 0; k < count; ++k) {
        const auto path = joinPath(target.fontsDirectory, slotText(target.collectionFileNames[k]));
        if (!path) continue;
        readCollection(*path, target.memberCounts[k],
                       std::span<FontRecord, MaxMembers>(&target.collectionRecords[k * MaxMembers], MaxMembers));
    }
}

}  // namespace

std::string fontsDirectoryOf(std::string_view windowsDirectory) {
    if (windowsDirectory.empty()) return {};
    return joinPath(windowsDirectory, "fonts").value_or(std::string());
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
