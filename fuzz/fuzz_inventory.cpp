// The inventory build over a small fonts folder made from the input, then
// the list of all its fonts. The input is cut at every "FILE" into at most
// 16 entries; the first byte of an entry says what it becomes and the rest
// is its content:
//   bits 0-1  0 or 3: a file, 1: a file with an upper-case extension,
//             2: a folder named like a font (its content is not used)
//   bit 2     0: .ttf, 1: .ttc
//   bit 3     a long name: 90 characters and 11 more for each step of
//             bits 4-7, at most 255; a path that does not fit 259
//             characters keeps its slot and is not read
//
// readFullName and readCollectionFullNames end the process when a table
// directory is cut off before the name record; that is their behaviour, and
// the exit path tests hold it. Here a file whose bytes, parsed in memory,
// would take that path is left out of the folder: the reader targets still
// parse its bytes, and everything else in the folder is still built. Should
// the in-memory parse and the file reading ever disagree, the process ends
// and libFuzzer reports the exit as a finding.
//
// Checked beyond the sanitizers: every file has its slot, every directory
// none; each record holds what the in-memory parse of its file gives (an
// empty one when the file is not read), with
// collections counted as at most 10 members and nothing past the count; the
// list holds one line per font. The font catalog, which the command-line
// tool reads through, lists the very same faces with the same ranges and
// names, in the same order, when it keeps the program's capacities.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "fontfile/font_reader.h"
#include "fuzz_support.h"
#include "inventory/font_catalog.h"
#include "inventory/font_inventory.h"
#include "parse_steps.h"
#include "platform/platform.h"
#include "selection/matching.h"
#include "selection/result_list.h"

using namespace fuzzsupport;
using fontfile::kMaxMembersRead;
using fontfile::MemorySource;
using fontfile::NameSlot;
using fontfile::Os2Prefix;

namespace {

constexpr std::string_view kSeparator = "FILE";
constexpr std::size_t kMaxEntries = 16;

std::filesystem::path folder;

void removeFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

// A folder of this process's own, in memory where the system has one. Its
// name has the same length in every process, so that an input's paths fit
// or not alike.
void makeFolder() {
    std::error_code error;
    auto base = std::filesystem::path("/dev/shm");
    if (!std::filesystem::is_directory(base, error)) base = std::filesystem::temp_directory_path();
    const auto pid = std::to_string(getpid());
    folder = base / ("meldrove-fuzz-" + std::string(10 - std::min<std::size_t>(pid.size(), 10), '0') + pid);
    std::filesystem::remove_all(folder, error);
    std::filesystem::create_directories(folder);
    std::atexit(removeFolder);
}

void emptyFolder() {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) std::filesystem::remove_all(entry.path());
}

std::vector<std::span<const std::uint8_t>> entriesOf(std::span<const std::uint8_t> input) {
    std::vector<std::span<const std::uint8_t>> entries;
    auto rest = input;
    while (entries.size() < kMaxEntries) {
        const auto at = std::search(rest.begin(), rest.end(), kSeparator.begin(), kSeparator.end(),
                                    [](std::uint8_t byte, char c) { return byte == static_cast<std::uint8_t>(c); });
        const auto length = static_cast<std::size_t>(at - rest.begin());
        entries.push_back(rest.first(length));
        if (at == rest.end()) break;
        rest = rest.subspan(length + kSeparator.size());
    }
    return entries;
}

struct Expected {
    bool collection = false;
    // A single font's record and name slot; a collection's kept member count
    // and members.
    inventory::UnicodeRangeSet ranges{};
    NameSlot name{};
    std::int32_t memberCount = 0;
    std::vector<inventory::FontRecord> members;
};

// What the inventory must hold for a file of these bytes; nothing when its
// full-name reader would end the process.
std::optional<Expected> expectedSingle(std::span<const std::uint8_t> bytes) {
    Expected expected;
    MemorySource source(bytes);
    Os2Prefix prefix{};
    testfonts::parseOs2Prefix(source, prefix);
    expected.ranges = fontfile::rangesOf(prefix);
    if (testfonts::parseFullName(source, expected.name).outcome == fontfile::TableScan::Outcome::shortRecord) {
        return std::nullopt;
    }
    return expected;
}

std::optional<Expected> expectedCollection(std::span<const std::uint8_t> bytes) {
    Expected expected;
    expected.collection = true;
    MemorySource source(bytes);
    std::array<Os2Prefix, kMaxMembersRead> places{};
    std::array<NameSlot, kMaxMembersRead> names{};
    const auto scan = testfonts::parseCollectionOs2Prefixes(source, places);
    if (testfonts::parseCollectionFullNames(source, names).shortMember) return std::nullopt;
    expected.memberCount = static_cast<std::int32_t>(scan.numFonts ? std::min(*scan.numFonts, kMaxMembersRead) : 0);
    for (std::int32_t j = 0; j < expected.memberCount; ++j) {
        const auto m = static_cast<std::size_t>(j);
        inventory::FontRecord record;
        record.ranges = fontfile::rangesOf(places[m]);
        const auto name = inventory::slotText(names[m]);
        std::copy(name.begin(), name.end(), record.fullName.begin());
        expected.members.push_back(record);
    }
    return expected;
}

void write(const std::string& name, std::span<const std::uint8_t> bytes) {
    std::ofstream out(folder / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(static_cast<bool>(out));
}

bool sameRecord(const inventory::FontRecord& a, const inventory::FontRecord& b) {
    return a.ranges == b.ranges && a.fullName == b.fullName;
}

void checkInventory(const inventory::FontInventory& fonts, const std::map<std::string, Expected>& files) {
    const auto count = [&](bool collection) {
        return std::count_if(files.begin(), files.end(),
                             [&](const auto& f) { return f.second.collection == collection; });
    };
    FUZZ_CHECK(fonts.singleCount == count(false));
    FUZZ_CHECK(fonts.collectionCount == count(true));
    std::size_t fontCount = static_cast<std::size_t>(fonts.singleCount);

    for (std::size_t i = 0; i < static_cast<std::size_t>(fonts.singleCount); ++i) {
        const auto found = files.find(std::string(inventory::slotText(fonts.singleFileNames[i])));
        FUZZ_CHECK(found != files.end() && !found->second.collection);
        FUZZ_CHECK(fonts.singleRecords[i].ranges == found->second.ranges);
        FUZZ_CHECK(fonts.singleRecords[i].fullName == NameSlot{});
        FUZZ_CHECK(fonts.singleFullNames[i] == found->second.name);
    }
    for (std::size_t k = 0; k < inventory::MaxCollections; ++k) {
        if (k >= static_cast<std::size_t>(fonts.collectionCount)) {
            FUZZ_CHECK(fonts.memberCounts[k] == 0);
            continue;
        }
        const auto found = files.find(std::string(inventory::slotText(fonts.collectionFileNames[k])));
        FUZZ_CHECK(found != files.end() && found->second.collection);
        const auto& expected = found->second;
        FUZZ_CHECK(fonts.memberCounts[k] == expected.memberCount);
        fontCount += static_cast<std::size_t>(expected.memberCount);
        for (std::size_t j = 0; j < inventory::MaxMembers; ++j) {
            const auto& record = fonts.collectionRecords[k * inventory::MaxMembers + j];
            FUZZ_CHECK(sameRecord(record, j < expected.members.size() ? expected.members[j] : inventory::FontRecord{}));
        }
    }

    selection::SortedLineList list;
    selection::listMatchingFonts(fonts, {}, list);
    FUZZ_CHECK(list.lines().size() == fontCount);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    silenceDiagnostics();
    makeFolder();
    return 0;
}

// The catalog's faces, one for each record of the inventory, in its order.
void checkCatalogAgrees(const inventory::FontInventory& fonts) {
    inventory::CatalogRequest request;
    request.folders = {folder.string()};
    request.windowsNames = request.characterMaps = true;  // read along, for the sanitizers
    const auto catalog = inventory::buildCatalog(request);
    std::size_t at = 0;
    const auto check = [&](std::string_view fileName, std::uint32_t member, const inventory::FontRecord& record,
                           std::string_view name) {
        FUZZ_CHECK(at < catalog.faces.size());
        const auto& face = catalog.faces[at++];
        FUZZ_CHECK(catalog.files[face.file].name == fileName && face.member == member);
        FUZZ_CHECK(face.ranges == record.ranges && inventory::slotText(face.macName) == name);
    };
    for (std::int32_t i = 0; i < fonts.singleCount; ++i) {
        const auto k = static_cast<std::size_t>(i);
        check(inventory::slotText(fonts.singleFileNames[k]), 0, fonts.singleRecords[k],
              inventory::slotText(fonts.singleFullNames[k]));
    }
    for (std::int32_t c = 0; c < fonts.collectionCount; ++c) {
        const auto k = static_cast<std::size_t>(c);
        for (std::int32_t m = 0; m < fonts.memberCounts[k]; ++m) {
            const auto& record = fonts.collectionRecords[k * inventory::MaxMembers + static_cast<std::size_t>(m)];
            check(inventory::slotText(fonts.collectionFileNames[k]), static_cast<std::uint32_t>(m), record,
                  inventory::slotText(record.fullName));
        }
    }
    FUZZ_CHECK(at == catalog.faces.size());
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    emptyFolder();
    std::map<std::string, Expected> files;
    const auto entries = entriesOf(std::span(data, size));
    for (std::size_t n = 0; n < entries.size(); ++n) {
        if (entries[n].empty()) continue;
        const std::uint8_t kind = entries[n][0];
        const auto bytes = entries[n].subspan(1);
        const bool collection = (kind & 4) != 0;
        std::string stem = "f" + std::to_string(n);
        if ((kind & 8) != 0)
            stem.resize(std::min<std::size_t>(86 + static_cast<std::size_t>(kind >> 4) * 11, 251), 'x');
        if ((kind & 3) == 2) {
            std::filesystem::create_directory(folder / (stem + (collection ? ".ttc" : ".ttf")));
            continue;
        }
        const std::string name =
            stem + ((kind & 3) == 1 ? (collection ? ".TTC" : ".TTF") : (collection ? ".ttc" : ".ttf"));
        std::optional<Expected> expected;
        if (folder.string().size() + 1 + name.size() >= platform::kMaxPath) {
            expected.emplace();  // never opened: an empty record
            expected->collection = collection;
        } else {
            expected = collection ? expectedCollection(bytes) : expectedSingle(bytes);
            if (!expected) continue;  // its full-name reader would end the process
        }
        write(name, bytes);
        files.emplace(name, std::move(*expected));
    }

    inventory::FontInventory fonts;
    inventory::buildInventory(fonts, folder.string());
    checkInventory(fonts, files);
    checkCatalogAgrees(fonts);
    inventory::releaseInventory(fonts);
    FUZZ_CHECK(!fonts.singleFileNames && !fonts.singleFullNames && !fonts.singleRecords);
    FUZZ_CHECK(!fonts.collectionFileNames && !fonts.collectionRecords);
    return 0;
}
