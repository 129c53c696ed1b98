// The font catalog that the command-line tool reads through: every member,
// OpenType files, any number of folders and files, Windows names.
#include "inventory/font_catalog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_test_helpers.h"
#include "fontfile/font_reader.h"
#include "platform/ascii.h"
#include "reader_checks.h"

namespace {

using enginetest::TempFolder;
using inventory::CatalogRequest;
using inventory::FontFormat;
using NoteKind = inventory::CatalogNote::Kind;
using namespace testfonts;

// "<name>  (<file>) member <m>" of every face, in the catalog's order.
std::vector<std::string> facesOf(const inventory::FontCatalog& catalog) {
    std::vector<std::string> faces;
    for (const auto& face : catalog.faces) {
        faces.push_back(std::string(inventory::slotText(face.macName)) + " (" + catalog.files[face.file].name + ") " +
                        std::to_string(face.member));
    }
    return faces;
}

std::vector<NoteKind> kindsOf(const inventory::FontCatalog& catalog) {
    std::vector<NoteKind> kinds;
    for (const auto& note : catalog.notes) kinds.push_back(note.kind);
    return kinds;
}

Bytes collectionOf(int members, const std::string& stem) {
    CollectionWriter collection;
    for (int m = 0; m < members; ++m) collection.member(simpleFont({1u << m, 0, 0, 0}, stem + std::to_string(m)));
    return collection.build();
}

// UTF-16BE bytes of ASCII text, as a name record holds a Windows name.
std::string utf16be(const std::string& text) {
    std::string bytes;
    for (char c : text) bytes += {'\0', c};
    return bytes;
}

NameEntry windowsName(const std::string& text, std::uint16_t language) { return {utf16be(text), 3, 4, 1, language}; }

TEST(FontCatalogMembers, EveryMemberOnlyWhenAskedTheProgramsTenOtherwise) {
    TempFolder folder;
    folder.write("twelve.ttc", collectionOf(12, "M"));
    CatalogRequest request{.folders = {{folder.enginePath()}}};

    auto catalog = inventory::buildCatalog(request);
    ASSERT_EQ(catalog.faces.size(), 10u);
    EXPECT_EQ(catalog.files[0].numFonts, 12u);

    request.everyCollectionFile = true;  // the other capacity: no more members
    ASSERT_EQ(inventory::buildCatalog(request).faces.size(), 10u);

    request.everyMember = true;
    catalog = inventory::buildCatalog(request);
    ASSERT_EQ(catalog.faces.size(), 12u);
    EXPECT_EQ(facesOf(catalog)[11], "M11 (twelve.ttc) 11");
    EXPECT_EQ(catalog.faces[11].ranges, (fontfile::UnicodeRangeSet{1u << 11, 0, 0, 0}));
}

TEST(FontCatalogMembers, FiftyCollectionFilesUnlessEveryFileIsAsked) {
    TempFolder folder;
    for (int k = 0; k < 52; ++k) folder.write("c" + std::to_string(100 + k) + ".ttc", collectionOf(1, "C"));
    CatalogRequest request{.folders = {{folder.enginePath()}}};
    EXPECT_EQ(inventory::buildCatalog(request).files.size(), 50u);
    request.everyMember = true;  // the other capacity: no more files
    EXPECT_EQ(inventory::buildCatalog(request).files.size(), 50u);
    request.everyCollectionFile = true;
    EXPECT_EQ(inventory::buildCatalog(request).files.size(), 52u);
}

TEST(FontCatalogMembers, AFolderNamedTwiceTakesNoRoomOfTheFiftyCollectionFilesTheSecondTime) {
    TempFolder first, second;
    for (int k = 0; k < 26; ++k) first.write("c" + std::to_string(100 + k) + ".ttc", collectionOf(1, "C"));
    second.write("later.ttc", collectionOf(1, "Later"));
    const auto catalog = inventory::buildCatalog(
        {.folders = {{first.enginePath()}, {first.enginePath() + "\\."}, {second.enginePath()}}});
    ASSERT_EQ(catalog.files.size(), 27u);
    EXPECT_EQ(catalog.files.back().name, "later.ttc");
}

TEST(FontCatalogMembers, ACountTheFileDoesNotBackTakesOnlyTheOffsetsThatAreThere) {
    CollectionWriter collection;
    collection.member(simpleFont({1, 0, 0, 0}, "Only")).declaredNumFonts(0xFFFFFFFFu);
    CountingSource source(collection.build());
    const auto members = fontfile::readCollectionMembers(source, 0xFFFFFFFFu);
    EXPECT_EQ(members.numFonts, 0xFFFFFFFFu);
    // The one offset, then the directory and tables read as offsets: never
    // more than the file holds.
    EXPECT_LE(members.offsets.size(), source.size() / 4);
    ASSERT_FALSE(members.offsets.empty());
    EXPECT_LE(source.reads, 3u);
}

TEST(FontCatalogMembers, OnlyMembersWithADirectoryAreFacesAndTheRestIsNoted) {
    TempFolder folder;
    // numFonts 3 and one offset, which points past the end: no face has a
    // table directory to read.
    const auto path = folder.write("short.ttc", {'t', 't', 'c', 'f', 0, 1, 0, 0, 0, 0, 0, 3, 0, 0, 0x10, 0});
    const auto catalog = inventory::buildCatalog({.folders = {{folder.enginePath()}}, .characterMaps = true});
    EXPECT_TRUE(catalog.faces.empty());
    ASSERT_EQ(catalog.files.size(), 1u);
    EXPECT_EQ(catalog.files[0].numFonts, 3u);
    EXPECT_EQ(kindsOf(catalog), (std::vector<NoteKind>{NoteKind::collectionCutOff, NoteKind::directoryCutOff}));
    EXPECT_EQ(catalog.notes[0].message, "its member offsets end after 1 of 3; the members past them are left out");
    EXPECT_EQ(catalog.notes[1].member, 0u);
}

TEST(FontCatalogFormats, OpenTypeFilesAndCffCollectionsWhenTheirFormatsAreAsked) {
    TempFolder folder;
    folder.write("a.ttf", simpleFont({1, 0, 0, 0}, "TrueType").build());
    auto cff = simpleFont({2, 0, 0, 0}, "Cff single");
    folder.write("b.OTF", cff.sfntVersion(0x4F54544F).table("CFF ", Bytes(40, 7)).build());
    CollectionWriter otc;
    for (const char* name : {"Cff member 0", "Cff member 1"}) {
        otc.member(simpleFont({4, 0, 0, 0}, name).sfntVersion(0x4F54544F).table("CFF ", Bytes(40, 7)));
    }
    folder.write("c.otc", otc.build());

    CatalogRequest request{.folders = {{folder.enginePath()}}};
    EXPECT_EQ(facesOf(inventory::buildCatalog(request)), (std::vector<std::string>{"TrueType (a.ttf) 0"}));

    request.formats = {FontFormat::otc, FontFormat::otf, FontFormat::ttf};
    const auto catalog = inventory::buildCatalog(request);
    EXPECT_EQ(facesOf(catalog), (std::vector<std::string>{"TrueType (a.ttf) 0", "Cff single (b.OTF) 0",
                                                          "Cff member 0 (c.otc) 0", "Cff member 1 (c.otc) 1"}));
    EXPECT_EQ(catalog.files[1].format, FontFormat::otf);
    EXPECT_EQ(catalog.faces[3].ranges, (fontfile::UnicodeRangeSet{4, 0, 0, 0}));
}

TEST(FontCatalogSources, FilesOfTheSameNameInTwoFoldersAreBothListedOneFileReachedTwiceOnce) {
    TempFolder system, user, elsewhere;
    system.write("same.ttf", simpleFont({1, 0, 0, 0}, "Same").build());
    user.write("same.ttf", simpleFont({1, 0, 0, 0}, "Same").build());
    user.write("own.ttc", collectionOf(2, "Own"));
    const auto inUserFolder = user.write("registered.TTF", simpleFont({1, 0, 0, 0}, "In the folder").build());
    const auto registered = elsewhere.write("else.ttf", simpleFont({1, 0, 0, 0}, "Elsewhere").build());

    auto doubled = inUserFolder;
    doubled.insert(doubled.rfind(platform::kCatalogNamesAreUtf8 ? '\\' : '/'), "\\.");
    const auto catalog =
        inventory::buildCatalog({.folders = {{system.enginePath()}, {user.enginePath()}, {user.enginePath() + "\\"}},
                                 .files = {inUserFolder, registered, doubled, elsewhere.enginePath() + "\\x.doc"}});
    EXPECT_EQ(facesOf(catalog),
              (std::vector<std::string>{"Same (same.ttf) 0", "In the folder (registered.TTF) 0", "Same (same.ttf) 0",
                                        "Elsewhere (else.ttf) 0", "Own0 (own.ttc) 0", "Own1 (own.ttc) 1"}));
    EXPECT_EQ(catalog.files[0].directory, system.enginePath());
    EXPECT_EQ(catalog.files[2].directory, user.enginePath());
    // The .doc is a source that holds no font file.
    ASSERT_EQ(kindsOf(catalog), (std::vector<NoteKind>{NoteKind::noFontFiles}));
    EXPECT_EQ(catalog.notes[0].source->kind, inventory::NoteSource::Kind::file);
    EXPECT_EQ(catalog.notes[0].source->index, 3u);
}

TEST(FontCatalogNames, WindowsNamesPreferUsEnglishThenTakeAnyLanguage) {
    struct Case {
        std::vector<NameEntry> names;
        std::string mac;  // "-" for none
        std::string windows;
    };
    const Case cases[] = {
        {{{"Mac only"}}, "Mac only", "-"},
        {{windowsName("Windows only", 0x0409)}, "-", "Windows only"},
        {{{"Both, Mac"}, windowsName("Both, Windows", 0x0409)}, "Both, Mac", "Both, Windows"},
        {{windowsName("Deutsch", 0x0407)}, "-", "Deutsch"},
        {{windowsName("Deutsch", 0x0407), windowsName("English", 0x0409)}, "-", "English"},
        {{windowsName("English", 0x0409), windowsName("Later", 0x0409)}, "-", "English"},
        // A cut-off string is passed over; the next record serves.
        {{{utf16be("Gone"), 3, 4, 1, 0x0409, 0xF000}, windowsName("Whole", 0x0407)}, "-", "Whole"},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        folder.write("f.ttf",
                     FontWriter().table("OS/2", os2Table({1, 0, 0, 0})).table("name", nameTable(c.names)).build());
        const auto catalog = inventory::buildCatalog({.folders = {{folder.enginePath()}}, .windowsNames = true});
        ASSERT_EQ(catalog.faces.size(), 1u);
        const auto& face = catalog.faces[0];
        EXPECT_EQ(face.hasMacName ? std::string(inventory::slotText(face.macName)) : "-", c.mac) << c.windows;
        const auto windows = face.windowsName ? std::string(face.windowsName->begin(), face.windowsName->end()) : "-";
        EXPECT_EQ(windows, c.windows == "-" ? "-" : utf16be(c.windows)) << c.windows;
    }
}

TEST(FontCatalogNames, AnOddOrHugeWindowsStringIsKeptAsItsBytesUpToTheLimit) {
    TempFolder folder;
    const std::string odd = utf16be("Odd") + "X";
    const std::string huge(3000, 'h');
    folder.write("odd.ttf", FontWriter().table("name", nameTable({{odd, 3, 4, 1, 0x0409}})).build());
    folder.write("huge.ttf", FontWriter().table("name", nameTable({{huge, 3, 4, 1, 0x0409}})).build());
    const auto catalog = inventory::buildCatalog({.folders = {{folder.enginePath()}}, .windowsNames = true});
    ASSERT_EQ(catalog.faces.size(), 2u);
    EXPECT_EQ(catalog.faces[1].windowsName->size(), odd.size());  // odd.ttf comes second in folder order
    EXPECT_EQ(catalog.faces[0].windowsName->size(), fontfile::kMaxWindowsNameSize);
}

}  // namespace

namespace {

// ---- Damaged files never stop the catalog ---------------------------------------

TEST(FontCatalogNotes, ATruncatedFontAndATextFileAmongGoodFontsAreLeftOutWithANoteEach) {
    TempFolder folder;
    const auto cut = FontWriter()
                         .table("cmap", {1, 2, 3, 4})
                         .table("head", {1, 2, 3, 4})
                         .table("name", nameTable({{"Cut"}}))
                         .build();
    folder.write("a-good.ttf", simpleFont({1, 0, 0, 0}, "Good").build());
    folder.write("b-cut.ttf", truncated(cut, 12 + 16 * 2 + 8));
    folder.write("c-readme.ttf", Bytes{'R', 'e', 'a', 'd', ' ', 'm', 'e', '\n'});
    folder.write("d-empty.ttf", {});
    // The name record first, the file ending inside the OS/2 record: listed,
    // without range bits (and without a name, its string being gone too).
    const auto os2Late = FontWriter().table("name", nameTable({{"Gone"}})).table("OS/2", os2Table({1, 0, 0, 0}));
    folder.write("e-os2-cut.ttf", truncated(os2Late.build(), 12 + 16 + 8));
    folder.write("f-good.ttf", simpleFont({2, 0, 0, 0}, "Also good").build());

    const auto catalog = inventory::buildCatalog({.folders = {{folder.enginePath()}}});
    EXPECT_EQ(facesOf(catalog),
              (std::vector<std::string>{"Good (a-good.ttf) 0", " (e-os2-cut.ttf) 0", "Also good (f-good.ttf) 0"}));
    EXPECT_EQ(catalog.faces[1].ranges, (fontfile::UnicodeRangeSet{}));
    EXPECT_EQ(kindsOf(catalog), (std::vector<NoteKind>{NoteKind::directoryCutOff, NoteKind::notAFont,
                                                       NoteKind::notAFont, NoteKind::os2CutOff}));
    EXPECT_EQ(catalog.notes[0].path, folder.enginePath() + "\\b-cut.ttf");
    EXPECT_EQ(catalog.notes[0].message, "its table directory is cut off before its name table; left out");
    EXPECT_FALSE(catalog.notes[0].member);
    EXPECT_EQ(catalog.notes[1].path, folder.enginePath() + "\\c-readme.ttf");
}

TEST(FontCatalogNotes, AMemberCutOffIsLeftOutAndNamedTheOthersAreRead) {
    TempFolder folder;
    CollectionWriter collection;
    collection.member(simpleFont({1, 0, 0, 0}, "Whole"))
        .member(FontWriter().table("cmap", {}).table("name", nameTable({{"Never"}})));
    folder.write("cut.ttc", truncated(collection.build(), collection.memberOffset(1) + 12 + 16 + 10));
    folder.write("later.ttc", collectionOf(2, "Later"));
    const auto catalog = inventory::buildCatalog({.folders = {{folder.enginePath()}}, .characterMaps = true});
    EXPECT_EQ(facesOf(catalog),
              (std::vector<std::string>{"Whole (cut.ttc) 0", "Later0 (later.ttc) 0", "Later1 (later.ttc) 1"}));
    ASSERT_EQ(kindsOf(catalog), (std::vector<NoteKind>{NoteKind::directoryCutOff}));
    EXPECT_EQ(catalog.notes[0].member, 1u);
}

TEST(FontCatalogNotes, FilesThatAreNoFontsAreLeftOutByTheCatalogOnly) {
    // The program's inventory lists a text file named as a font, without a
    // name; the catalog does not.
    TempFolder folder;
    folder.write("text.ttf", Bytes{'h', 'i', '\n'});
    folder.write("text.ttc", Bytes(11, 'x'));
    inventory::FontInventory fonts;
    DiagnosticCapture diagnostics;  // the program's "No name table found" for the text file
    inventory::buildInventory(fonts, folder.enginePath());
    EXPECT_EQ(fonts.singleCount, 1);
    EXPECT_EQ(fonts.collectionCount, 1);
    inventory::releaseInventory(fonts);
    const auto catalog = inventory::buildCatalog({.folders = {{folder.enginePath()}}});
    EXPECT_TRUE(catalog.faces.empty());
    EXPECT_TRUE(catalog.files.empty());
    EXPECT_EQ(kindsOf(catalog), (std::vector<NoteKind>{NoteKind::notAFont, NoteKind::notAFont}));
}

// ---- Work and memory bounded by the bytes --------------------------------------

// A collection of `members` offsets, all naming the one table directory of
// `font`, which follows them.
Bytes membersNamingOneDirectory(std::uint32_t members, const FontWriter& font) {
    const auto directoryAt = static_cast<std::uint32_t>(12 + 4 * std::size_t{members});
    Bytes bytes{'t', 't', 'c', 'f', 0, 2, 0, 0};
    putU32(bytes, members);
    for (std::uint32_t m = 0; m < members; ++m) putU32(bytes, directoryAt);
    const auto directory = font.build(directoryAt);
    bytes.insert(bytes.end(), directory.begin(), directory.end());
    return bytes;
}

TEST(FontCatalogSharing, MembersNamingOneDirectoryShareOneCharacterMapAndWindowsName) {
    // 12,000 offsets to one directory whose cmap has a format 12 subtable of
    // 20,000 groups: one map, one Windows name.
    std::vector<CmapGroup> groups;
    for (std::uint32_t g = 0; g < 20000; ++g) groups.push_back({0x10000 + 2 * g, 0x10000 + 2 * g, 1 + g});
    auto font = simpleFont({1, 0, 0, 0}, "Shared");
    font.table("cmap", cmapTable({{3, 10, cmapFormat12(groups)}}));
    TempFolder folder;
    folder.write("shared.ttc", membersNamingOneDirectory(12000, font));
    CollectionWriter two;
    two.member(simpleFont({1, 0, 0, 0}, "A")).member(simpleFont({2, 0, 0, 0}, "B")).memberAt(12 + 4 * 3);
    folder.write("two.ttc", two.build());

    const auto catalog = inventory::buildCatalog(
        {.folders = {{folder.enginePath()}}, .everyMember = true, .windowsNames = true, .characterMaps = true});
    ASSERT_EQ(catalog.faces.size(), 12003u);
    const auto& first = catalog.faces[0];
    ASSERT_TRUE(first.characterMap);
    EXPECT_EQ(first.characterMap->covered.size(), 20000u);
    for (std::size_t f = 1; f < 12000; ++f) {
        ASSERT_EQ(catalog.faces[f].characterMap, first.characterMap) << f;
        ASSERT_EQ(catalog.faces[f].member, f);
    }
    // Only the catalog's faces hold it: one object, not one per member.
    EXPECT_EQ(first.characterMap.use_count(), 12000);
    // Of two.ttc, members 0 and 2 name one directory, member 1 another.
    const auto& a = catalog.faces[12000];
    const auto& b = catalog.faces[12001];
    const auto& again = catalog.faces[12002];
    EXPECT_EQ(a.characterMap, again.characterMap);
    EXPECT_NE(a.characterMap, b.characterMap);
    EXPECT_EQ(inventory::slotText(again.macName), "A");
    EXPECT_EQ(inventory::slotText(b.macName), "B");
}

TEST(FontCatalogSharing, ASparseCollectionOfFourBillionMembersGivesWhatItsSizeHolds) {
    // 'ttcf', numFonts 0xFFFFFFFF, zeros: every offset names the header,
    // read as a directory without tables.
    Bytes bytes(256 * 1024, 0);
    std::copy_n("ttcf", 4, bytes.begin());
    setU32(bytes, 8, 0xFFFFFFFFu);
    TempFolder folder;
    folder.write("sparse.ttc", bytes);
    const auto catalog =
        inventory::buildCatalog({.folders = {{folder.enginePath()}}, .everyMember = true, .characterMaps = true});
    EXPECT_EQ(catalog.faces.size(), (bytes.size() - 12) / 4);
    EXPECT_EQ(catalog.faces.back().characterMap, catalog.faces.front().characterMap);
    // One note for the one directory, not one per member.
    ASSERT_EQ(kindsOf(catalog), (std::vector<NoteKind>{NoteKind::collectionCutOff, NoteKind::noNameTable}));
    EXPECT_EQ(catalog.notes[1].message, "has no name table; listed without a name (and " +
                                            std::to_string(catalog.faces.size() - 1) + " more faces naming it)");
}

}  // namespace
