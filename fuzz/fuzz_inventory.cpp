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
// list holds one line per font.
//
// Then the files left out are written too, and the font catalog, which the
// command-line tool reads through, is built over the whole folder with the
// program's capacities (searching it recursively for inputs of odd length):
// it never ends the process; each font file gives the faces that parsing
// its bytes in memory gives, a face whose directory is cut off before its
// name record left out, in the inventory's order of files; a file that is
// not a font (no sfnt or collection header) or a face left out has a note
// naming its file.
#include <unistd.h>

#include <algorithm>
#include <array>
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

struct ExpectedFace {
    inventory::UnicodeRangeSet ranges{};
    NameSlot name{};
};

// The faces the catalog gives a file of these bytes, and whether it must
// note something about it.
struct CatalogExpectation {
    bool collection = false;
    std::vector<ExpectedFace> faces;
    bool noted = false;
};

bool isFontFile(std::span<const std::uint8_t> bytes) {
    static constexpr std::array<std::array<std::uint8_t, 4>, 4> kTags{
        {{0, 1, 0, 0}, {'O', 'T', 'T', 'O'}, {'t', 'r', 'u', 'e'}, {'t', 't', 'c', 'f'}}};
    return bytes.size() >= 4 && std::any_of(kTags.begin(), kTags.end(), [&](const auto& tag) {
               return std::equal(tag.begin(), tag.end(), bytes.begin());
           });
}

// The face at `directory`; nothing when its directory is cut off before its
// name record (or in its offset table).
std::optional<ExpectedFace> expectedFace(MemorySource& source, std::uint64_t directory) {
    if (directory > source.size() || source.size() - directory < fontfile::kOffsetTableSize) return std::nullopt;
    ExpectedFace face;
    Os2Prefix prefix{};
    fontfile::parseOs2PrefixAt(source, directory, prefix);
    face.ranges = fontfile::rangesOf(prefix);
    if (fontfile::parseFullNameAt(source, directory, face.name).outcome == fontfile::TableScan::Outcome::shortRecord)
        return std::nullopt;
    return face;
}

CatalogExpectation expectedInCatalog(std::span<const std::uint8_t> bytes, bool collection) {
    CatalogExpectation expected{.collection = collection};
    if (!isFontFile(bytes)) {
        expected.noted = true;
        return expected;
    }
    MemorySource source(bytes);
    std::vector<std::uint32_t> directories{0};
    if (collection) {
        const auto members = fontfile::readCollectionMembers(source, kMaxMembersRead);
        directories = members.offsets;
        expected.noted = !members.numFonts || directories.size() < std::min(*members.numFonts, kMaxMembersRead);
    }
    for (const auto directory : directories) {
        if (auto face = expectedFace(source, directory)) {
            expected.faces.push_back(*face);
        } else {
            expected.noted = true;
        }
    }
    return expected;
}

// The catalog's faces, file by file, against what parsing each file gives;
// its files in the inventory's order where both list them.
void checkCatalog(const inventory::FontInventory& fonts, const std::map<std::string, CatalogExpectation>& files,
                  bool recursive) {
    inventory::CatalogRequest request;
    request.folders = {{folder.string(), recursive}};
    request.windowsNames = request.characterMaps = true;  // read along, for the sanitizers
    const auto catalog = inventory::buildCatalog(request);

    std::vector<std::string> order;
    for (std::size_t at = 0; at < catalog.faces.size();) {
        const auto file = catalog.faces[at].file;
        FUZZ_CHECK(file < catalog.files.size());
        const auto& name = catalog.files[file].name;
        const auto found = files.find(name);
        FUZZ_CHECK(found != files.end() && std::find(order.begin(), order.end(), name) == order.end());
        // Singles first, then members.
        FUZZ_CHECK(order.empty() || !files.at(order.back()).collection || found->second.collection);
        order.push_back(name);
        for (const auto& expected : found->second.faces) {
            FUZZ_CHECK(at < catalog.faces.size() && catalog.faces[at].file == file);
            const auto& face = catalog.faces[at++];
            FUZZ_CHECK(face.ranges == expected.ranges && face.macName == expected.name);
            FUZZ_CHECK(face.characterMap != nullptr);
        }
    }
    for (const auto& entry : files) {
        const auto& name = entry.first;  // named apart: clang 14 captures no structured binding
        const auto& expected = entry.second;
        const bool listed = std::find(order.begin(), order.end(), name) != order.end();
        FUZZ_CHECK(listed == !expected.faces.empty());
        if (!expected.noted) continue;
        FUZZ_CHECK(std::any_of(catalog.notes.begin(), catalog.notes.end(), [&](const inventory::CatalogNote& note) {
            return note.path.size() >= name.size() && note.path.ends_with(name);
        }));
    }

    // The files both list, in the inventory's order.
    std::vector<std::string> inventoryOrder;
    for (std::size_t i = 0; i < static_cast<std::size_t>(fonts.singleCount); ++i)
        inventoryOrder.emplace_back(inventory::slotText(fonts.singleFileNames[i]));
    for (std::size_t k = 0; k < static_cast<std::size_t>(fonts.collectionCount); ++k)
        inventoryOrder.emplace_back(inventory::slotText(fonts.collectionFileNames[k]));
    std::erase_if(inventoryOrder,
                  [&](const std::string& name) { return std::find(order.begin(), order.end(), name) == order.end(); });
    std::vector<std::string> common = order;
    std::erase_if(common, [&](const std::string& name) {
        return std::find(inventoryOrder.begin(), inventoryOrder.end(), name) == inventoryOrder.end();
    });
    FUZZ_CHECK(common == inventoryOrder);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    emptyFolder();
    std::map<std::string, Expected> files;
    std::map<std::string, CatalogExpectation> inCatalog;
    std::vector<std::pair<std::string, std::span<const std::uint8_t>>> leftOut;
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
        inCatalog.emplace(name, expectedInCatalog(bytes, collection));
        std::optional<Expected> expected;
        if (folder.string().size() + 1 + name.size() >= platform::kMaxPath) {
            expected.emplace();  // never opened: an empty record
            expected->collection = collection;
        } else {
            expected = collection ? expectedCollection(bytes) : expectedSingle(bytes);
            if (!expected) {  // its full-name reader would end the process: for the catalog only
                leftOut.emplace_back(name, bytes);
                continue;
            }
        }
        write(name, bytes);
        files.emplace(name, std::move(*expected));
    }

    inventory::FontInventory fonts;
    inventory::buildInventory(fonts, folder.string());
    checkInventory(fonts, files);
    for (const auto& [name, bytes] : leftOut) write(name, bytes);
    checkCatalog(fonts, inCatalog, size % 2 == 1);
    inventory::releaseInventory(fonts);
    FUZZ_CHECK(!fonts.singleFileNames && !fonts.singleFullNames && !fonts.singleRecords);
    FUZZ_CHECK(!fonts.collectionFileNames && !fonts.collectionRecords);
    return 0;
}
