#include "floors.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "fontfile/sfnt.h"

namespace bench {

namespace {

using fontfile::BigEndianReader;

constexpr std::size_t kCollectionHeadBytes =
    fontfile::kCollectionHeaderSize + fontfile::kMemberOffsetSize * fontfile::kMaxMembersRead;
constexpr std::size_t kMaxNameRecords = 65535;
constexpr std::size_t kNameFirstRead = 4096;  // a name table's first bytes, read at once as the engine does
constexpr std::size_t kNameKept = fontfile::kNameSlotSize - 1;

std::uint16_t u16At(std::span<const std::uint8_t> bytes, std::size_t at) {
    std::uint16_t value = 0;
    BigEndianReader reader(bytes);
    reader.seek(at) && reader.u16(value);
    return value;
}

std::uint32_t u32At(std::span<const std::uint8_t> bytes, std::size_t at) {
    std::uint32_t value = 0;
    BigEndianReader reader(bytes);
    reader.seek(at) && reader.u32(value);
    return value;
}

// An open font file and its first KiB, read with the open as the engine's
// platform layer does: reads inside it make no call. `names` is the room for
// a name table's header and records, kept from file to file.
struct File {
    int fd = -1;
    std::array<std::uint8_t, platform::ReadOnlyFile::kHeadSize> head;
    std::size_t headSize = 0;
    std::vector<std::uint8_t>& names;
};

std::size_t readAt(const File& file, std::uint64_t position, std::uint8_t* out, std::size_t count) {
    if (file.headSize < file.head.size() || (position <= file.headSize && count <= file.headSize - position)) {
        if (position >= file.headSize) return 0;
        const auto copied = std::min<std::size_t>(count, file.headSize - position);
        std::memcpy(out, &file.head[position], copied);
        return copied;
    }
    const auto got = pread(file.fd, out, count, static_cast<off_t>(position));
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

struct Tables {
    std::uint32_t os2 = 0, name = 0;
    bool hasOs2 = false, hasName = false;
};

// One read of the offset table and the records that can be examined.
Tables readDirectory(const File& file, std::uint64_t position) {
    using namespace fontfile;
    std::array<std::uint8_t, kTableDirectorySize> bytes;
    const auto got = readAt(file, position, bytes.data(), bytes.size());
    Tables tables;
    if (got < kOffsetTableSize) return tables;
    const std::size_t numTables = u16At(bytes, 4);
    const auto records =
        std::min<std::size_t>({numTables, kMaxTableRecords, (got - kOffsetTableSize) / kTableRecordSize});
    for (std::size_t i = 0; i < records; ++i) {
        const auto record = std::span(bytes).subspan(kOffsetTableSize + kTableRecordSize * i, kTableRecordSize);
        if (!tables.hasOs2 && std::equal(kOs2Tag.begin(), kOs2Tag.end(), record.begin())) {
            tables.os2 = u32At(record, 8);  // the record's offset
            tables.hasOs2 = true;
        } else if (!tables.hasName && std::equal(kNameTag.begin(), kNameTag.end(), record.begin())) {
            tables.name = u32At(record, 8);
            tables.hasName = true;
        }
    }
    return tables;
}

void readOs2(const File& file, const Tables& tables, Digest& digest) {
    if (!tables.hasOs2) return;
    fontfile::Os2Prefix prefix{};
    readAt(file, tables.os2, prefix.data(), prefix.size());
    for (const auto word : fontfile::rangesOf(prefix)) digest.sum += word;
}

// The table's first 4 KiB in one read (the header, the records and the
// strings of most fonts), the records past them in a second, then the
// string of the last platform-1 name-ID-4 record (the one the inventory
// keeps) from those bytes or, past them, in a read of its own.
void readName(const File& file, const Tables& tables, Digest& digest) {
    using fontfile::kNameHeaderSize, fontfile::kNameRecordSize;
    if (!tables.hasName) return;
    auto& bytes = file.names;
    const auto got = readAt(file, tables.name, bytes.data(), kNameFirstRead);
    if (got < kNameHeaderSize) return;
    const std::size_t count = u16At(bytes, 2);
    const auto recordsEnd = kNameHeaderSize + kNameRecordSize * count;
    std::size_t have = got;
    if (recordsEnd > have && have == kNameFirstRead)
        have += readAt(file, tables.name + have, &bytes[have], recordsEnd - have);
    const std::size_t whole = (have - kNameHeaderSize) / kNameRecordSize;
    std::span<const std::uint8_t> chosen;
    for (std::size_t r = 0; r < std::min(count, whole); ++r) {
        const auto record =
            std::span<const std::uint8_t>(bytes).subspan(kNameHeaderSize + kNameRecordSize * r, kNameRecordSize);
        // platformID and nameID
        if (u16At(record, 0) == fontfile::kMacintoshPlatform && u16At(record, 6) == fontfile::kFullNameId)
            chosen = record;
    }
    if (chosen.empty()) return;
    std::array<std::uint8_t, kNameKept> text{};
    const std::uint64_t from = std::uint64_t{u16At(bytes, 4)} + u16At(chosen, 10);  // storage + offset, in the table
    const auto kept = std::min<std::size_t>(u16At(chosen, 8), kNameKept);           // length
    if (from + kept <= have) {
        std::memcpy(text.data(), &bytes[from], kept);
    } else if (readAt(file, tables.name + from, text.data(), kept) != kept) {
        return;
    }
    for (std::size_t i = 0; i < kept && text[i] != 0; ++i) digest.sum += text[i];
}

enum class Wanted { os2, name, both };

void readFont(const File& file, std::uint64_t directory, Wanted wanted, Digest& digest) {
    const auto tables = readDirectory(file, directory);
    if (wanted != Wanted::name) readOs2(file, tables, digest);
    if (wanted != Wanted::os2) readName(file, tables, digest);
}

void readCollection(const File& file, Wanted wanted, Digest& digest) {
    using namespace fontfile;
    std::array<std::uint8_t, kCollectionHeadBytes> head{};
    const auto got = readAt(file, 0, head.data(), head.size());
    if (got < kCollectionHeaderSize) return;
    const auto members = std::min<std::size_t>(
        {u32At(head, kNumFontsOffset), kMaxMembersRead, (got - kCollectionHeaderSize) / kMemberOffsetSize});
    for (std::size_t m = 0; m < members; ++m)
        readFont(file, u32At(head, kCollectionHeaderSize + kMemberOffsetSize * m), wanted, digest);
    if (wanted != Wanted::name) digest.fonts += members;
}

// Opens "<folder>/<name>" and reads it; the path is built without the heap.
void readFile(const std::string& folder, std::string_view name, bool collection, Wanted wanted, Digest& digest,
              std::vector<std::uint8_t>& names) {
    std::array<char, 4096> path;
    if (folder.size() + 1 + name.size() >= path.size()) return;
    std::memcpy(path.data(), folder.data(), folder.size());
    path[folder.size()] = '/';
    std::memcpy(&path[folder.size() + 1], name.data(), name.size());
    path[folder.size() + 1 + name.size()] = '\0';
    File file{.names = names};
    file.fd = open(path.data(), O_RDONLY | O_CLOEXEC);
    if (file.fd < 0) return;
    const auto got = pread(file.fd, file.head.data(), file.head.size(), 0);
    file.headSize = got > 0 ? static_cast<std::size_t>(got) : 0;
    if (collection) {
        readCollection(file, wanted, digest);
    } else {
        readFont(file, 0, wanted, digest);
        if (wanted != Wanted::name) ++digest.fonts;
    }
    close(file.fd);
}

bool endsWith(std::string_view name, std::string_view extension) {
    if (name.size() < extension.size()) return false;
    return std::equal(extension.begin(), extension.end(), name.end() - static_cast<std::ptrdiff_t>(extension.size()),
                      [](char e, char c) { return e == (c | 0x20); });
}

// Calls `visit(name, isCollection)` for every font file of one listing;
// `extension` limits it to one kind, when given.
template <typename Visit>
void listFolder(const std::string& folder, std::string_view extension, Visit visit) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_type == DT_DIR) continue;
        const std::string_view name = entry->d_name;
        const bool collection = endsWith(name, ".ttc");
        if (!collection && !endsWith(name, ".ttf")) continue;
        if (extension.empty() || endsWith(name, extension)) visit(name, collection);
    }
    closedir(dir);
}

}  // namespace

Digest readFloor(const std::string& folder, Opens opens) {
    Digest digest;
    // Room for the largest name header and records, made once per pass.
    std::vector<std::uint8_t> names(kNameFirstRead + fontfile::kNameHeaderSize +
                                    fontfile::kNameRecordSize * kMaxNameRecords);
    const auto count = [&](bool collection) { ++(collection ? digest.collectionFiles : digest.singleFiles); };
    if (opens == Opens::once) {
        listFolder(folder, "", [&](std::string_view name, bool collection) {
            count(collection);
            readFile(folder, name, collection, Wanted::both, digest, names);
        });
        return digest;
    }
    for (const auto* extension : {".ttf", ".ttc"}) {
        listFolder(folder, extension, [&](std::string_view name, bool collection) {
            count(collection);
            readFile(folder, name, collection, Wanted::os2, digest, names);
            readFile(folder, name, collection, Wanted::name, digest, names);
        });
    }
    return digest;
}

Digest digestOf(const inventory::FontInventory& fonts) {
    Digest digest;
    const auto add = [&](const inventory::UnicodeRangeSet& ranges, std::string_view name) {
        for (const auto word : ranges) digest.sum += word;
        for (const auto c : name) digest.sum += static_cast<std::uint8_t>(c);
        ++digest.fonts;
    };
    digest.singleFiles = static_cast<std::size_t>(fonts.singleCount);
    digest.collectionFiles = static_cast<std::size_t>(fonts.collectionCount);
    for (std::int32_t i = 0; i < fonts.singleCount; ++i) {
        const auto at = static_cast<std::size_t>(i);
        add(fonts.singleRecords[at].ranges, inventory::slotText(fonts.singleFullNames[at]));
    }
    for (std::int32_t k = 0; k < fonts.collectionCount; ++k) {
        for (std::int32_t m = 0; m < fonts.memberCounts[static_cast<std::size_t>(k)]; ++m) {
            const auto& record = fonts.collectionRecords[static_cast<std::size_t>(k * inventory::MaxMembers + m)];
            add(record.ranges, inventory::slotText(record.fullName));
        }
    }
    return digest;
}

}  // namespace bench
