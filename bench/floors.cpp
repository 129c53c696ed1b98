#include "floors.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

namespace bench {

namespace {

constexpr std::size_t kDirectoryBytes = 12 + 16 * 40;  // offset table and the 40 records examined
constexpr std::size_t kCollectionHeadBytes = 12 + 4 * 10;
constexpr std::size_t kOs2Bytes = 86;
constexpr std::size_t kNameHeadBytes = 6;
constexpr std::size_t kNameRecordBytes = 12;
constexpr std::size_t kMaxNameRecords = 65535;
constexpr std::size_t kNameRecordsFirst = 64;  // read with the header, as the engine does
constexpr std::size_t kNameKept = 99;

std::uint32_t be16(const std::uint8_t* p) { return std::uint32_t{p[0]} << 8 | p[1]; }
std::uint32_t be32(const std::uint8_t* p) { return be16(p) << 16 | be16(p + 2); }

// An open font file and its first KiB, read with the open as the engine's
// platform layer does: reads inside it make no call.
struct File {
    int fd = -1;
    std::array<std::uint8_t, 1024> head;
    std::size_t headSize = 0;
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
    std::array<std::uint8_t, kDirectoryBytes> bytes;
    const auto got = readAt(file, position, bytes.data(), bytes.size());
    Tables tables;
    if (got < 12) return tables;
    const auto records = std::min<std::size_t>({be16(&bytes[4]), 40, (got - 12) / 16});
    for (std::size_t i = 0; i < records; ++i) {
        const auto* record = &bytes[12 + 16 * i];
        if (!tables.hasOs2 && std::memcmp(record, "OS/2", 4) == 0) {
            tables.os2 = be32(record + 8);
            tables.hasOs2 = true;
        } else if (!tables.hasName && std::memcmp(record, "name", 4) == 0) {
            tables.name = be32(record + 8);
            tables.hasName = true;
        }
    }
    return tables;
}

void readOs2(const File& file, const Tables& tables, Digest& digest) {
    if (!tables.hasOs2) return;
    std::array<std::uint8_t, kOs2Bytes> prefix{};
    readAt(file, tables.os2, prefix.data(), prefix.size());
    for (std::size_t w = 0; w < 4; ++w) digest.sum += be32(&prefix[42 + 4 * w]);
}

// The header and every record in one read, then the string of the last
// platform-1 name-ID-4 record (the one the inventory keeps).
void readName(const File& file, const Tables& tables, Digest& digest) {
    if (!tables.hasName) return;
    static std::vector<std::uint8_t> bytes(kNameHeadBytes + kNameRecordBytes * kMaxNameRecords);
    const auto got = readAt(file, tables.name, bytes.data(), kNameHeadBytes + kNameRecordBytes * kNameRecordsFirst);
    if (got < kNameHeadBytes) return;
    const std::size_t count = be16(&bytes[2]);
    std::size_t whole = (got - kNameHeadBytes) / kNameRecordBytes;
    if (count > whole && whole == kNameRecordsFirst) {
        const auto more = kNameRecordBytes * (count - whole);
        whole += readAt(file, tables.name + got, &bytes[got], more) / kNameRecordBytes;
    }
    const std::uint8_t* chosen = nullptr;
    for (std::size_t r = 0; r < std::min(count, whole); ++r) {
        const auto* record = &bytes[kNameHeadBytes + kNameRecordBytes * r];
        if (be16(record) == 1 && be16(record + 6) == 4) chosen = record;
    }
    if (!chosen) return;
    std::array<std::uint8_t, kNameKept> text{};
    const std::uint64_t at = std::uint64_t{tables.name} + be16(&bytes[4]) + be16(chosen + 10);
    const auto kept = std::min<std::size_t>(be16(chosen + 8), kNameKept);
    if (readAt(file, at, text.data(), kept) != kept) return;
    for (std::size_t i = 0; i < kept && text[i] != 0; ++i) digest.sum += text[i];
}

enum class Wanted { os2, name, both };

void readFont(const File& file, std::uint64_t directory, Wanted wanted, Digest& digest) {
    const auto tables = readDirectory(file, directory);
    if (wanted != Wanted::name) readOs2(file, tables, digest);
    if (wanted != Wanted::os2) readName(file, tables, digest);
}

void readCollection(const File& file, Wanted wanted, Digest& digest) {
    std::array<std::uint8_t, kCollectionHeadBytes> head{};
    const auto got = readAt(file, 0, head.data(), head.size());
    if (got < 12) return;
    const auto members = std::min<std::size_t>({be32(&head[8]), 10, (got - 12) / 4});
    for (std::size_t m = 0; m < members; ++m) readFont(file, be32(&head[12 + 4 * m]), wanted, digest);
    if (wanted != Wanted::name) digest.fonts += members;
}

// Opens "<folder>/<name>" and reads it; the path is built without the heap.
void readFile(const std::string& folder, std::string_view name, bool collection, Wanted wanted, Digest& digest) {
    std::array<char, 4096> path;
    if (folder.size() + 1 + name.size() >= path.size()) return;
    std::memcpy(path.data(), folder.data(), folder.size());
    path[folder.size()] = '/';
    std::memcpy(&path[folder.size() + 1], name.data(), name.size());
    path[folder.size() + 1 + name.size()] = '\0';
    File file;
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
    const auto count = [&](bool collection) { ++(collection ? digest.collectionFiles : digest.singleFiles); };
    if (opens == Opens::once) {
        listFolder(folder, "", [&](std::string_view name, bool collection) {
            count(collection);
            readFile(folder, name, collection, Wanted::both, digest);
        });
        return digest;
    }
    for (const auto* extension : {".ttf", ".ttc"}) {
        listFolder(folder, extension, [&](std::string_view name, bool collection) {
            count(collection);
            readFile(folder, name, collection, Wanted::os2, digest);
            readFile(folder, name, collection, Wanted::name, digest);
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
