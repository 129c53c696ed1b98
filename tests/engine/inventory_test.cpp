#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine_test_helpers.h"
#include "inventory/font_inventory.h"

namespace {

using enginetest::Bytes;
using enginetest::collectionFile;
using enginetest::fontFile;
using enginetest::fontWithoutOs2;
using enginetest::Member;
using enginetest::Ranges;
using enginetest::TempFolder;
using inventory::FontInventory;
using inventory::FontRecord;
using inventory::slotText;

constexpr Ranges kNoRanges{};
constexpr Ranges kAllRanges{0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF};

// A distinct set of range words for font number n; each has bit 0.
Ranges rangesFor(std::uint32_t n) { return {n << 1 | 1, 0x100u << n % 20, 0x80000000u >> n % 31, n * 0x01010101u}; }

void build(FontInventory& fonts, const TempFolder& folder) { inventory::buildInventory(fonts, folder.enginePath()); }

bool isEmpty(const FontRecord& record) {
    return record.ranges == kNoRanges && slotText(record.fullName).empty() && record.fullName == inventory::NameSlot{};
}

// The engine's path of `name` relative to a folder, joined with a backslash.
std::string join(const std::string& folder, const std::string& name) { return folder + "\\" + name; }

// ---- Single-font files: slots and order ------------------------------------

TEST(InventorySlots, EachFileKeepsItsSearchPositionInAllThreeBlocks) {
    TempFolder folder;
    const std::vector<std::string> names{"m.ttf", "B.ttf", "z.TTF", "a.ttf", "k.ttf"};
    std::map<std::string, std::uint32_t> number;
    for (std::uint32_t n = 0; n < names.size(); ++n) {
        folder.write(names[n], fontFile(rangesFor(n), "Font " + std::to_string(n)));
        number[names[n]] = n;
    }

    FontInventory fonts;
    build(fonts, folder);

    ASSERT_EQ(fonts.singleCount, 5);
    const auto order = enginetest::singleFileNames(fonts);
    EXPECT_EQ(order, enginetest::searchOrder(folder.enginePath(), "*.ttf"));
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto n = number.at(order[i]);
        EXPECT_EQ(slotText(fonts.singleFullNames[i]), "Font " + std::to_string(n)) << order[i];
        EXPECT_EQ(fonts.singleRecords[i].ranges, rangesFor(n)) << order[i];
        // A single font's full name lives in singleFullNames only.
        EXPECT_EQ(fonts.singleRecords[i].fullName, inventory::NameSlot{}) << order[i];
    }
    EXPECT_EQ(fonts.fontsDirectory, folder.enginePath());
}

TEST(InventorySlots, FoldersNamedLikeFontsTakeNoSlot) {
    TempFolder folder;
    folder.makeFolder("a.ttf");
    folder.makeFolder("a.ttc");
    folder.write("b.ttf", fontFile(kAllRanges, "B"));
    folder.makeFolder("c.ttf");
    folder.write("d.ttc", collectionFile({{kAllRanges, "D"}}));

    FontInventory fonts;
    build(fonts, folder);

    EXPECT_EQ(enginetest::singleFileNames(fonts), std::vector<std::string>{"b.ttf"});
    EXPECT_EQ(slotText(fonts.singleFullNames[0]), "B");
    EXPECT_EQ(enginetest::collectionFileNames(fonts), std::vector<std::string>{"d.ttc"});
    EXPECT_EQ(fonts.memberCounts[0], 1);
}

TEST(InventorySlots, AnEmptyOrMissingFolderHasNoFonts) {
    TempFolder folder;
    folder.makeFolder("empty");
    for (const auto& path : {join(folder.enginePath(), "empty"), join(folder.enginePath(), "missing")}) {
        FontInventory fonts;
        inventory::buildInventory(fonts, path);
        EXPECT_EQ(fonts.singleCount, 0) << path;
        EXPECT_EQ(fonts.collectionCount, 0) << path;
        EXPECT_TRUE(enginetest::matchingLines(fonts, {}).empty()) << path;
    }
}

// ---- Single-font files: range words and names --------------------------------

TEST(InventoryRanges, RangeWordsAreTakenBigEndianInTheirOrder) {
    const Ranges ranges{3, 0x80000000, 0x00080000, 0x12345678};
    const auto bytes = fontFile(ranges, "Order");
    // The OS/2 table is the first after a two-record directory.
    const std::size_t os2 = 12 + 2 * 16;
    ASSERT_EQ((Bytes{bytes[os2 + 42], bytes[os2 + 43], bytes[os2 + 44], bytes[os2 + 45]}), (Bytes{0, 0, 0, 3}));

    TempFolder folder;
    folder.write("order.ttf", bytes);
    FontInventory fonts;
    build(fonts, folder);

    ASSERT_EQ(fonts.singleCount, 1);
    EXPECT_EQ(fonts.singleRecords[0].ranges[0], 3u);
    EXPECT_EQ(fonts.singleRecords[0].ranges, ranges);
}

TEST(InventoryRanges, AFontWithoutOs2GetsNoRangesEvenRightAfterOneWithThem) {
    TempFolder folder;
    folder.write("p.ttf", {});
    folder.write("q.ttf", {});
    // Which one the search returns first decides which gets the OS/2 table.
    const auto order = enginetest::searchOrder(folder.enginePath(), "*.ttf");
    ASSERT_EQ(order.size(), 2u);
    folder.write(order[0], fontFile(kAllRanges, "With"));
    folder.write(order[1], fontWithoutOs2("Without"));

    FontInventory fonts;
    build(fonts, folder);

    ASSERT_EQ(enginetest::singleFileNames(fonts), order);
    EXPECT_EQ(fonts.singleRecords[0].ranges, kAllRanges);
    EXPECT_EQ(fonts.singleRecords[1].ranges, kNoRanges);
    EXPECT_EQ(slotText(fonts.singleFullNames[1]), "Without");
}

// ---- Release ---------------------------------------------------------------

TEST(InventoryRelease, FreesEveryBlockOnceAndKeepsTheCounts) {
    TempFolder folder;
    folder.write("a.ttf", fontFile(kAllRanges, "A"));
    folder.write("b.ttf", fontFile(kAllRanges, "B"));
    folder.write("c.ttc", collectionFile({{kAllRanges, "C1"}, {kAllRanges, "C2"}, {kAllRanges, "C3"}}));

    FontInventory fonts;
    build(fonts, folder);
    for (int call = 0; call < 2; ++call) {
        inventory::releaseInventory(fonts);
        EXPECT_EQ(fonts.singleFileNames, nullptr);
        EXPECT_EQ(fonts.singleFullNames, nullptr);
        EXPECT_EQ(fonts.singleRecords, nullptr);
        EXPECT_EQ(fonts.collectionFileNames, nullptr);
        EXPECT_EQ(fonts.collectionRecords, nullptr);
        EXPECT_EQ(fonts.singleCount, 2);
        EXPECT_EQ(fonts.collectionCount, 1);
        EXPECT_EQ(fonts.memberCounts[0], 3);
    }
}

// ---- Collections -------------------------------------------------------------

TEST(CollectionSlots, TwoMembersFillTheFirstTwoSlotsAndTheRestStayEmpty) {
    TempFolder folder;
    folder.write("pair.ttc", collectionFile({{rangesFor(1), "First"}, {rangesFor(2), "Second"}}));

    FontInventory fonts;
    build(fonts, folder);

    ASSERT_EQ(fonts.collectionCount, 1);
    EXPECT_EQ(slotText(fonts.collectionFileNames[0]), "pair.ttc");
    EXPECT_EQ(fonts.memberCounts[0], 2);
    EXPECT_EQ(enginetest::memberRecord(fonts, 0, 0).ranges, rangesFor(1));
    EXPECT_EQ(slotText(enginetest::memberRecord(fonts, 0, 0).fullName), "First");
    EXPECT_EQ(enginetest::memberRecord(fonts, 0, 1).ranges, rangesFor(2));
    EXPECT_EQ(slotText(enginetest::memberRecord(fonts, 0, 1).fullName), "Second");
    for (int j = 2; j < inventory::MaxMembers; ++j) EXPECT_TRUE(isEmpty(enginetest::memberRecord(fonts, 0, j))) << j;
    EXPECT_EQ(fonts.memberCounts[1], 0);
}

TEST(CollectionSlots, EveryFileStartsAtItsOwnFiftySlots) {
    TempFolder folder;
    folder.write("three.ttc", collectionFile({{rangesFor(1), "T1"}, {rangesFor(2), "T2"}, {rangesFor(3), "T3"}}));
    folder.write("two.ttc", collectionFile({{rangesFor(4), "W1"}, {rangesFor(5), "W2"}}));
    folder.write("one.ttc", collectionFile({{rangesFor(6), "O1"}}));

    FontInventory fonts;
    build(fonts, folder);

    const auto order = enginetest::collectionFileNames(fonts);
    ASSERT_EQ(order, enginetest::searchOrder(folder.enginePath(), "*.ttc"));
    const std::map<std::string, std::vector<Member>> expected{
        {"three.ttc", {{rangesFor(1), "T1"}, {rangesFor(2), "T2"}, {rangesFor(3), "T3"}}},
        {"two.ttc", {{rangesFor(4), "W1"}, {rangesFor(5), "W2"}}},
        {"one.ttc", {{rangesFor(6), "O1"}}}};
    for (int k = 0; k < 3; ++k) {
        const auto& members = expected.at(order[static_cast<std::size_t>(k)]);
        ASSERT_EQ(fonts.memberCounts[static_cast<std::size_t>(k)], static_cast<int>(members.size()));
        for (int j = 0; j < inventory::MaxMembers; ++j) {
            const auto& record = enginetest::memberRecord(fonts, k, j);
            if (j < static_cast<int>(members.size())) {
                EXPECT_EQ(record.ranges, members[static_cast<std::size_t>(j)].ranges) << k << "/" << j;
                EXPECT_EQ(slotText(record.fullName), members[static_cast<std::size_t>(j)].fullName) << k << "/" << j;
            } else {
                EXPECT_TRUE(isEmpty(record)) << k << "/" << j;
            }
        }
    }
}

TEST(CollectionSlots, AMemberWithoutOs2GetsNoRangesFromTheMemberBefore) {
    testfonts::FontWriter bare;
    bare.table("name", testfonts::nameTable({{"Bare"}}));
    testfonts::CollectionWriter collection;
    collection.member(testfonts::simpleFont(kAllRanges, "Full")).member(bare);
    TempFolder folder;
    folder.write("mixed.ttc", collection.build());

    FontInventory fonts;
    build(fonts, folder);

    ASSERT_EQ(fonts.memberCounts[0], 2);
    EXPECT_EQ(enginetest::memberRecord(fonts, 0, 0).ranges, kAllRanges);
    EXPECT_EQ(enginetest::memberRecord(fonts, 0, 1).ranges, kNoRanges);
    EXPECT_EQ(slotText(enginetest::memberRecord(fonts, 0, 1).fullName), "Bare");
}

// A collection that cannot be read keeps its name slot and has no members;
// the file after it still takes the next slot.
void expectUnreadableCollectionShiftsNothing(const TempFolder& folder, const std::string& unreadable) {
    FontInventory fonts;
    build(fonts, folder);

    const auto order = enginetest::collectionFileNames(fonts);
    ASSERT_EQ(order, enginetest::searchOrder(folder.enginePath(), "*.ttc"));
    ASSERT_EQ(order.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const auto& name = order[static_cast<std::size_t>(k)];
        const auto count = fonts.memberCounts[static_cast<std::size_t>(k)];
        if (name == unreadable) {
            EXPECT_EQ(count, 0);
            EXPECT_TRUE(isEmpty(enginetest::memberRecord(fonts, k, 0)));
        } else {
            ASSERT_EQ(count, 1) << name;
            EXPECT_EQ(slotText(enginetest::memberRecord(fonts, k, 0).fullName), "In " + name);
        }
    }
    EXPECT_EQ(enginetest::matchingLines(fonts, {}).size(), 2u);
}

TEST(CollectionSlots, ACollectionWithACutHeaderKeepsNoMembersAndShiftsNothing) {
    TempFolder folder;
    for (const char* name : {"a.ttc", "c.ttc"})
        folder.write(name, collectionFile({{kAllRanges, std::string("In ") + name}}));
    folder.write("b.ttc", {'t', 't', 'c', 'f', 0, 1});
    expectUnreadableCollectionShiftsNothing(folder, "b.ttc");
}

#ifndef _WIN32
TEST(CollectionSlots, ACollectionThatCannotBeOpenedKeepsNoMembersAndShiftsNothing) {
    TempFolder folder;
    for (const char* name : {"a.ttc", "c.ttc"})
        folder.write(name, collectionFile({{kAllRanges, std::string("In ") + name}}));
    std::filesystem::create_symlink(folder.path() / "missing", folder.path() / "b.ttc");
    expectUnreadableCollectionShiftsNothing(folder, "b.ttc");
}
#endif

TEST(CollectionSlots, RebuildingForgetsTheMemberCountsOfTheLastBuild) {
    TempFolder before;
    before.write("a.ttc", collectionFile({{kAllRanges, "A1"}, {kAllRanges, "A2"}, {kAllRanges, "A3"}}));
    TempFolder after;
    after.write("a.ttc", {'t', 't', 'c', 'f'});

    FontInventory fonts;
    build(fonts, before);
    ASSERT_EQ(fonts.memberCounts[0], 3);
    inventory::releaseInventory(fonts);
    build(fonts, after);

    EXPECT_EQ(fonts.collectionCount, 1);
    EXPECT_EQ(fonts.memberCounts[0], 0);
    EXPECT_TRUE(enginetest::matchingLines(fonts, {}).empty());
}

TEST(CollectionMemberCounts, OnlyTheTenMembersReadAreCounted) {
    std::vector<Member> twelve;
    for (std::uint32_t j = 0; j < 12; ++j) twelve.push_back({rangesFor(j), "M" + std::to_string(j)});
    TempFolder folder;
    folder.write("twelve.ttc", collectionFile(twelve));

    FontInventory fonts;
    build(fonts, folder);

    ASSERT_EQ(fonts.memberCounts[0], 10);
    for (int j = 0; j < 10; ++j) {
        EXPECT_EQ(enginetest::memberRecord(fonts, 0, j).ranges, rangesFor(static_cast<std::uint32_t>(j)));
        EXPECT_EQ(slotText(enginetest::memberRecord(fonts, 0, j).fullName), "M" + std::to_string(j));
    }
    for (int j = 10; j < inventory::MaxMembers; ++j) EXPECT_TRUE(isEmpty(enginetest::memberRecord(fonts, 0, j))) << j;
    EXPECT_EQ(enginetest::matchingLines(fonts, {}).size(), 10u);
}

TEST(CollectionMemberCounts, DeclaredCountsAreTakenUnsignedAndClipped) {
    // Ten members in the file whatever the header declares.
    for (const auto& [declared, kept] : {std::pair{0xFFFFFFFFu, 10}, {0x80000000u, 10}, {3u, 3}, {0u, 0}}) {
        testfonts::CollectionWriter collection;
        for (std::uint32_t j = 0; j < 10; ++j) collection.member(testfonts::simpleFont(kAllRanges, "H"));
        collection.declaredNumFonts(declared);
        TempFolder folder;
        folder.write("declared.ttc", collection.build());

        FontInventory fonts;
        build(fonts, folder);

        EXPECT_EQ(fonts.memberCounts[0], kept) << declared;
        EXPECT_EQ(enginetest::matchingLines(fonts, {0}).size(), static_cast<std::size_t>(kept)) << declared;
        EXPECT_TRUE(isEmpty(enginetest::memberRecord(fonts, 0, kept))) << declared;
    }
}

TEST(CollectionFiles, OnlyTheFirstFiftyFilesAreKept) {
    TempFolder folder;
    for (int k = 0; k < 51; ++k) {
        const auto name = "c" + std::to_string(k) + ".ttc";
        folder.write(name, collectionFile({{kAllRanges, "In " + name}}));
    }

    FontInventory fonts;
    build(fonts, folder);

    ASSERT_EQ(fonts.collectionCount, inventory::MaxCollections);
    auto firstFifty = enginetest::searchOrder(folder.enginePath(), "*.ttc");
    ASSERT_EQ(firstFifty.size(), 51u);
    firstFifty.pop_back();
    EXPECT_EQ(enginetest::collectionFileNames(fonts), firstFifty);
    for (std::size_t k = 0; k < firstFifty.size(); ++k) {
        EXPECT_EQ(fonts.memberCounts[k], 1) << k;
        EXPECT_EQ(slotText(enginetest::memberRecord(fonts, static_cast<int>(k), 0).fullName), "In " + firstFifty[k]);
    }
    EXPECT_EQ(enginetest::matchingLines(fonts, {}).size(), 50u);
}

// ---- File names and path lengths ---------------------------------------------

TEST(InventoryFileNames, NamesOf99And100CharactersKeepTheirOwnSlots) {
    TempFolder folder;
    const std::string n99 = std::string(95, 'a') + ".ttf";
    const std::string n100 = std::string(96, 'b') + ".ttf";
    const std::string c100 = std::string(96, 'c') + ".ttc";
    folder.write(n99, fontFile(rangesFor(1), "Ninety-nine"));
    folder.write(n100, fontFile(rangesFor(2), "Hundred"));
    folder.write("z.ttf", fontFile(rangesFor(3), "Short"));
    folder.write(c100, collectionFile({{rangesFor(4), "C"}}));
    folder.write("d.ttc", collectionFile({{rangesFor(5), "D"}}));

    FontInventory fonts;
    build(fonts, folder);

    const auto order = enginetest::singleFileNames(fonts);
    ASSERT_EQ(order.size(), 3u);
    for (const auto& [name, ranges, fullName] : {std::tuple{n99, rangesFor(1), "Ninety-nine"},
                                                 {n100, rangesFor(2), "Hundred"},
                                                 {"z.ttf", rangesFor(3), "Short"}}) {
        const auto i = enginetest::indexOf(order, name);
        ASSERT_GE(i, 0) << name;
        EXPECT_EQ(fonts.singleRecords[static_cast<std::size_t>(i)].ranges, ranges) << name;
        EXPECT_EQ(slotText(fonts.singleFullNames[static_cast<std::size_t>(i)]), fullName) << name;
    }
    const auto collections = enginetest::collectionFileNames(fonts);
    ASSERT_EQ(collections.size(), 2u);
    EXPECT_GE(enginetest::indexOf(collections, c100), 0);
    EXPECT_GE(enginetest::indexOf(collections, "d.ttc"), 0);
    EXPECT_EQ(enginetest::matchingLines(fonts, {0}).size(), 5u);
}

TEST(InventoryFileNames, ANameOf255CharactersIsReadWhenItsPathFits) {
    TempFolder folder;
    const std::string longName = std::string(251, 'n') + ".ttf";
    const std::string longCollection = std::string(251, 'k') + ".ttc";
    try {
        folder.write(longName, fontFile(rangesFor(7), "Long"));
        folder.write("a.ttf", fontFile(rangesFor(8), "Short"));
        folder.write(longCollection, collectionFile({{rangesFor(9), "Long member"}}));
    } catch (const std::exception& e) {
        GTEST_SKIP() << "this file system takes no 255-character names here: " << e.what();
    }
    // ".\<255 characters>" fits a 260-byte path.
    enginetest::WorkingFolder here(folder.path());
    FontInventory fonts;
    inventory::buildInventory(fonts, ".");

    const auto order = enginetest::singleFileNames(fonts);
    ASSERT_EQ(order.size(), 2u);
    const auto i = static_cast<std::size_t>(enginetest::indexOf(order, longName));
    ASSERT_LT(i, order.size());
    EXPECT_EQ(fonts.singleRecords[i].ranges, rangesFor(7));
    EXPECT_EQ(slotText(fonts.singleFullNames[i]), "Long");
    EXPECT_EQ(enginetest::indexOf(order, "a.ttf"), 1 - static_cast<int>(i));
    EXPECT_EQ(slotText(fonts.singleFullNames[1 - i]), "Short");
    ASSERT_EQ(enginetest::collectionFileNames(fonts), std::vector<std::string>{longCollection});
    EXPECT_EQ(slotText(enginetest::memberRecord(fonts, 0, 0).fullName), "Long member");
}

TEST(InventoryFileNames, AFileWhosePathDoesNotFitKeepsItsSlotButIsNotRead) {
    TempFolder folder;
    const std::string longName = std::string(251, 'n') + ".ttf";
    ASSERT_GT(folder.enginePath().size() + 1 + longName.size(), 259u);
    try {
        folder.write(longName, fontFile(kAllRanges, "Never read"));
    } catch (const std::exception& e) {
        GTEST_SKIP() << "this file system takes no path of " << folder.enginePath().size() + 1 + longName.size()
                     << " characters: " << e.what();
    }
    folder.write("a.ttf", fontFile(rangesFor(1), "Short"));

    FontInventory fonts;
    build(fonts, folder);

    const auto order = enginetest::singleFileNames(fonts);
    ASSERT_EQ(order.size(), 2u);
    const auto i = static_cast<std::size_t>(enginetest::indexOf(order, longName));
    ASSERT_LT(i, order.size());
    EXPECT_EQ(fonts.singleRecords[i].ranges, kNoRanges);
    EXPECT_EQ(fonts.singleFullNames[i], inventory::NameSlot{});
    EXPECT_EQ(slotText(fonts.singleFullNames[1 - i]), "Short");
    EXPECT_EQ(enginetest::matchingLines(fonts, {0}), std::vector<std::string>{"Short   (a.ttf)"});
}

// A folder under `root` whose engine path is exactly `length` characters.
struct NestedFolder {
    std::filesystem::path native;
    std::string engine;
};

NestedFolder folderOfLength(const TempFolder& root, std::size_t length) {
    NestedFolder folder{root.path(), root.enginePath()};
    while (folder.engine.size() < length) {
        const std::string name(std::min<std::size_t>(length - folder.engine.size() - 1, 100), 'd');
        folder.native /= name;
        folder.engine += "\\" + name;
    }
    std::filesystem::create_directories(folder.native);
    return folder;
}

bool writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

TEST(FontsDirectory, AFolderNearThePathLimitIsSearchedWhileItsPathsFit) {
    TempFolder root;
    NestedFolder folder;
    try {
        folder = folderOfLength(root, 253);
    } catch (const std::exception& e) {
        GTEST_SKIP() << "no folder of 253 characters can be made here: " << e.what();
    }
    // "<253>\a.ttf" is 259 characters, "<253>\ab.ttf" 260.
    if (!writeFile(folder.native / "a.ttf", fontFile(rangesFor(1), "Fits")) ||
        !writeFile(folder.native / "ab.ttf", fontFile(rangesFor(2), "Too long"))) {
        GTEST_SKIP() << "no file can be written in a folder of 253 characters here";
    }

    FontInventory fonts;
    inventory::buildInventory(fonts, folder.engine);

    const auto order = enginetest::singleFileNames(fonts);
    ASSERT_EQ(order.size(), 2u);
    const auto fits = static_cast<std::size_t>(enginetest::indexOf(order, "a.ttf"));
    const auto tooLong = static_cast<std::size_t>(enginetest::indexOf(order, "ab.ttf"));
    ASSERT_LT(fits, 2u);
    ASSERT_LT(tooLong, 2u);
    EXPECT_EQ(slotText(fonts.singleFullNames[fits]), "Fits");
    EXPECT_EQ(fonts.singleRecords[fits].ranges, rangesFor(1));
    EXPECT_EQ(fonts.singleRecords[tooLong].ranges, kNoRanges);
    EXPECT_EQ(fonts.singleFullNames[tooLong], inventory::NameSlot{});

    // One character more and not even the search pattern fits.
    const auto longer = folderOfLength(root, 254);
    ASSERT_TRUE(writeFile(longer.native / "a.ttf", fontFile(rangesFor(1), "Fits")));
    FontInventory none;
    inventory::buildInventory(none, longer.engine);
    EXPECT_EQ(none.singleCount, 0);
    EXPECT_EQ(none.collectionCount, 0);
}

TEST(FontsDirectory, IsTheWindowsFolderAndFontsWhenThatFits) {
    EXPECT_EQ(inventory::fontsDirectoryOf("D:\\WINNT"), "D:\\WINNT\\fonts");
    EXPECT_EQ(inventory::fontsDirectoryOf(""), "");
    const std::string longest(253, 'w');
    EXPECT_EQ(inventory::fontsDirectoryOf(longest), longest + "\\fonts");
    EXPECT_EQ(inventory::fontsDirectoryOf(longest + "w"), "");
}

TEST(FontsDirectory, ADirectoryTooLongForAPathIsNeverSearched) {
    for (const std::size_t length : {259u, 260u, 300u}) {
        FontInventory fonts;
        inventory::buildInventory(fonts, std::string(length, 'x'));
        EXPECT_EQ(fonts.singleCount, 0) << length;
        EXPECT_EQ(fonts.collectionCount, 0) << length;
        EXPECT_LE(fonts.fontsDirectory.size(), 259u) << length;
    }
}

#ifndef _WIN32
TEST(FontsDirectory, TheProcessWideInventoryReadsTheFontsFolderOfWindir) {
    TempFolder root;
    root.makeFolder("Win Dir/fonts");
    const auto windows = root.enginePath() + "/Win Dir";
    root.write("Win Dir/fonts/a.ttf", fontFile(rangesFor(1), "A"));
    root.write("Win Dir/fonts/c.ttc", collectionFile({{rangesFor(2), "C1"}, {rangesFor(3), "C2"}}));
    // Not in the fonts folder: never seen.
    root.write("Win Dir/decoy.ttf", fontFile(kAllRanges, "Decoy"));
    root.write("Win Dir/decoy.ttc", collectionFile({{kAllRanges, "Decoy"}}));

    enginetest::WindirScope scope(windows.c_str());
    inventory::buildInventory();
    const auto& fonts = inventory::fontInventory;
    EXPECT_EQ(fonts.fontsDirectory, windows + "\\fonts");
    EXPECT_EQ(enginetest::singleFileNames(fonts), std::vector<std::string>{"a.ttf"});
    EXPECT_EQ(enginetest::collectionFileNames(fonts), std::vector<std::string>{"c.ttc"});
    EXPECT_EQ(fonts.memberCounts[0], 2);
    EXPECT_EQ(enginetest::memberRecord(fonts, 0, 1).ranges, rangesFor(3));
    inventory::releaseInventory();
    EXPECT_EQ(fonts.singleRecords, nullptr);
    EXPECT_EQ(fonts.collectionRecords, nullptr);
}

TEST(FontsDirectory, WithoutAWindowsDirectoryNothingIsSearched) {
    // Not "\fonts": that would search a folder at the root of the drive.
    enginetest::WindirScope scope(nullptr);

    inventory::buildInventory();
    EXPECT_EQ(inventory::fontInventory.fontsDirectory, "");
    EXPECT_EQ(inventory::fontInventory.singleCount, 0);
    EXPECT_EQ(inventory::fontInventory.collectionCount, 0);
    inventory::releaseInventory();
}
#else
TEST(FontsDirectory, TheProcessWideInventoryReadsTheFontsFolderOfTheWindowsDirectory) {
    inventory::buildInventory();
    EXPECT_EQ(inventory::fontInventory.fontsDirectory, platform::windowsDirectory() + "\\fonts");
    EXPECT_NE(inventory::fontInventory.singleFileNames, nullptr);
    inventory::releaseInventory();
    EXPECT_EQ(inventory::fontInventory.singleFileNames, nullptr);
}
#endif

}  // namespace
