// meldrove-query reading every font a user has and showing it for people and
// for scripts: per-user fonts, OpenType files, every collection member, real
// names, JSON Lines and output no font can forge.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "font_writer.h"
#include "query_run.h"

namespace {

using namespace testfonts;
using querytest::lines;
using querytest::query;
using querytest::quoted;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Json = nlohmann::json;

// UTF-16BE bytes of text given as UTF-16 code units.
std::string utf16be(const std::u16string& text) {
    std::string bytes;
    for (char16_t unit : text) bytes += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
    return bytes;
}

NameEntry windows(const std::u16string& text, std::uint16_t language = 0x0409) {
    return {utf16be(text), 3, 4, 1, language};
}

Bytes named(const std::vector<NameEntry>& names) {
    return FontWriter().table("OS/2", os2Table({1, 0, 0, 0})).table("name", nameTable(names)).build();
}

std::vector<std::string> run(const std::vector<std::string>& args,
                             const std::string& environment = "env -u WINDIR -u LOCALAPPDATA") {
    const auto result = query(args, environment);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    return lines(result.out);
}

TEST(QueryNames, TheBestOfBothByDefaultMacintoshOrWindowsWhenAsked) {
    TempFolder fonts;
    fonts.write("mac.ttf", named({{"Mac Only"}}));
    fonts.write("win.ttf", named({windows(u"Windows Only")}));
    fonts.write("both.ttf", named({{"Both Mac"}, windows(u"Both Windows")}));
    // Not English: taken when there is no US English one.
    fonts.write("de.ttf", named({windows(u"Schrift", 0x0407)}));
    // A surrogate pair (U+1D49C) and an odd length.
    fonts.write("odd.ttf", named({{utf16be(u"Math \U0001D49C") + "X", 3, 4, 1, 0x0409}}));
    const auto folder = fonts.enginePath();

    EXPECT_THAT(
        run({"--fonts-dir", folder, "--names", "mac"}),
        ElementsAre("   (de.ttf)", "   (odd.ttf)", "   (win.ttf)", "Both Mac   (both.ttf)", "Mac Only   (mac.ttf)"));
    EXPECT_EQ(run({"--fonts-dir", folder, "--names", "mac"}), run({"--program", "--fonts-dir", folder}));
    EXPECT_EQ(run({"--fonts-dir", folder}), run({"--fonts-dir", folder, "--names", "best"}));
    EXPECT_THAT(
        run({"--fonts-dir", folder, "--names", "windows"}),
        ElementsAre("   (mac.ttf)", "Both Windows   (both.ttf)", "Math \xF0\x9D\x92\x9C\xEF\xBF\xBD   (odd.ttf)",
                    "Schrift   (de.ttf)", "Windows Only   (win.ttf)"));
    EXPECT_THAT(
        run({"--fonts-dir", folder, "--names=best"}),
        ElementsAre("Both Windows   (both.ttf)", "Mac Only   (mac.ttf)",
                    "Math \xF0\x9D\x92\x9C\xEF\xBF\xBD   (odd.ttf)", "Schrift   (de.ttf)", "Windows Only   (win.ttf)"));
}

TEST(QuerySafeOutput, NoFontCanForgeALineOrSendATerminalSequence) {
    TempFolder fonts;
    fonts.write("x.ttf", named({{"Evil\nFake Font   (x.ttf)"}}));
    fonts.write("esc.ttf", named({{"Red \x1B[31m\\ back"}}));
    fonts.write("plain.ttf", named({{"Plain \\ slash"}}));
    EXPECT_THAT(run({"--fonts-dir", fonts.enginePath()}),
                ElementsAre("Evil\\x0AFake Font   (x.ttf)   (x.ttf)", "Plain \\ slash   (plain.ttf)",
                            "Red \\x1B[31m\\\\ back   (esc.ttf)"));
}

// The characters a Unicode line splitter (Python's str.splitlines, many
// editors) ends a line at, in UTF-8.
std::vector<std::string> splitLikeUnicode(const std::string& text) {
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto rest = std::string_view(text).substr(i);
        std::size_t length = 0;
        if (std::string_view("\n\v\f\r\x1C\x1D\x1E").find(text[i]) != std::string_view::npos) length = 1;
        for (const std::string_view end : {"\u0085", "\u2028", "\u2029"}) {
            if (rest.starts_with(end)) length = end.size();
        }
        if (length == 0) {
            pieces.back() += text[i];
        } else {
            pieces.emplace_back();
            i += length - 1;
        }
    }
    return pieces;
}

// Windows names and file names holding each kind of character a terminal or
// a line splitter acts on: C1 controls (NEL, CSI, OSC), the line and
// paragraph separators, and the bidi overrides and isolates.
TEST(QuerySafeOutput, NoWindowsNameOrFileNameCanForgeALineForAnyReader) {
    TempFolder fonts;
    fonts.write("a.ttf", named({windows(u"Evil\u0085Fake Font   (forged.ttf)\u009B2J\u009D0;t")}));
    fonts.write("b\u2028forged.ttf", named({windows(u"Sep\u2028x\u2029y")}));
    fonts.write("c.ttf", named({windows(u"txt.\u202Eftt\u2066z\u2069")}));
    const auto text = query({"--fonts-dir", fonts.enginePath(), "--names", "best"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_THAT(lines(text.out), ElementsAre("Evil\\u{0085}Fake Font   (forged.ttf)\\u{009B}2J\\u{009D}0;t   (a.ttf)",
                                             "Sep\\u{2028}x\\u{2029}y   (b\\u{2028}forged.ttf)",
                                             "txt.\\u{202E}ftt\\u{2066}z\\u{2069}   (c.ttf)"));
    EXPECT_EQ(splitLikeUnicode(text.out).size(), 4u) << "three lines and the empty piece after the last";

    const auto json = query({"--fonts-dir", fonts.enginePath(), "--json", "--coverage"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const auto pieces = splitLikeUnicode(json.out);
    ASSERT_EQ(pieces.size(), 4u);
    std::vector<std::string> names, files;
    for (std::size_t i = 0; i < 3; ++i) {
        const auto object = Json::parse(pieces[i]);  // every piece is a whole object
        names.push_back(object["windows_name"]);
        files.push_back(object["file"]);
    }
    EXPECT_THAT(names, ElementsAre("Evil\u0085Fake Font   (forged.ttf)\u009B2J\u009D0;t", "Sep\u2028x\u2029y",
                                   "txt.\u202Eftt\u2066z\u2069"));
    EXPECT_THAT(files, ElementsAre("a.ttf", "b\u2028forged.ttf", "c.ttf"));
}

TEST(QueryJson, EveryLineParsesBackAndEveryStringRoundTrips) {
    TempFolder fonts;
    // Mac Roman 0x8E is é; the file name is UTF-8 with quotes (no Windows
    // file name holds a backslash).
    fonts.write("caf\xC3\xA9 \"q\".ttf", named({{"Caf\x8E \"quoted\" \\ \x01"}, windows(u"Caf\u00E9 W")}));
    CollectionWriter pair;
    pair.member(FontWriter().table("OS/2", os2Table({3, 0, 0, 5})).table("name", nameTable({{"M0"}})));
    pair.member(FontWriter().table("name", nameTable({windows(u"W1")})));
    fonts.write("pair.ttc", pair.build());

    const auto result = query({"--fonts-dir", fonts.enginePath(), "--json", "--names", "mac"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::vector<Json> objects;
    for (const auto& line : lines(result.out)) objects.push_back(Json::parse(line));
    ASSERT_EQ(objects.size(), 3u) << result.out << result.err;

    // In the order of the text lines: the nameless member, "Café...", "M0".
    const auto& cafe = objects[1];
    EXPECT_EQ(cafe["file"], "caf\xC3\xA9 \"q\".ttf");
    EXPECT_EQ(cafe["dir"], fonts.enginePath());
    EXPECT_EQ(cafe["mac_name"], "Caf\xC3\xA9 \"quoted\" \\ \x01");
    EXPECT_EQ(cafe["windows_name"], "Caf\xC3\xA9 W");
    EXPECT_EQ(cafe["name"], cafe["mac_name"]);
    EXPECT_EQ(cafe["face"], 0);
    EXPECT_EQ(cafe["collection"], false);
    EXPECT_EQ(cafe["format"], "ttf");
    EXPECT_FALSE(cafe.contains("blocks"));  // only with the coverage options

    const auto& member = objects[2];
    EXPECT_EQ(member["mac_name"], "M0");
    EXPECT_EQ(member["face"], 0);
    EXPECT_EQ(member["collection"], true);
    EXPECT_EQ(member["format"], "ttc");
    EXPECT_EQ(member["ranges"], Json::parse("[3,0,0,5]"));
    EXPECT_TRUE(member["windows_name"].is_null());
    const auto& nameless = objects[0];
    EXPECT_EQ(nameless["face"], 1);
    EXPECT_TRUE(nameless["mac_name"].is_null());
    EXPECT_TRUE(nameless["os2_version"].is_null());
    EXPECT_EQ(nameless["windows_name"], "W1");

    const auto covered =
        query({"--fonts-dir", fonts.enginePath(), "--json", "--names", "mac", "--missing=2", "Basic Latin"});
    const auto blocks = Json::parse(lines(covered.out).at(0))["blocks"];  // Café; M0 has no character map
    EXPECT_EQ(blocks, Json::parse(R"([{"name":"Basic Latin","bit":0,"declared":true,"covered":0,"total":128,)"
                                  R"("missing":[0,1]}])"));
}

TEST(QueryJson, BlocksAreListedToo) {
    const auto result = query({"--blocks", "--all", "--json"});
    const auto rows = lines(result.out);
    ASSERT_GT(rows.size(), 79u);
    EXPECT_EQ(Json::parse(rows[8])["name"], "Cyrillic");
    EXPECT_EQ(Json::parse(rows[8])["bit"], 9);
    EXPECT_EQ(Json::parse(rows[8])["assigned"], 256);
    EXPECT_EQ(Json::parse(rows[79])["block_list"], false);
    // The blocks a row counts, one string each, in code point order.
    EXPECT_EQ(Json::parse(rows[8])["blocks"], Json::array({"Cyrillic"}));
    for (const auto& row : rows) {
        const auto object = Json::parse(row);
        if (object["name"] == "Byzantine Musical Symbols") {
            EXPECT_EQ(object["blocks"],
                      Json::array({"Byzantine Musical Symbols", "Musical Symbols", "Ancient Greek Musical Notation"}));
        }
        if (object["name"] == "Surrogates") {
            EXPECT_EQ(object["blocks"][0], "Linear B Syllabary");
            EXPECT_GT(object["blocks"].size(), 100u);
        }
    }
    EXPECT_THAT(lines(query({"--blocks", "--all"}).out), ::testing::Contains(" 53  Phags-pa"));
}

TEST(QueryFonts, EveryMemberAndOpenTypeFilesByDefault) {
    TempFolder fonts;
    CollectionWriter twelve;
    for (int m = 0; m < 12; ++m) twelve.member(simpleFont({1, 0, 0, 0}, "Member " + std::to_string(100 + m)));
    fonts.write("twelve.ttc", twelve.build());
    CollectionWriter cff;
    for (const char* name : {"Cff A", "Cff B"})
        cff.member(simpleFont({1, 0, 0, 0}, name).sfntVersion(0x4F54544F).table("CFF ", Bytes(16, 1)));
    fonts.write("cff.otc", cff.build());
    fonts.write("single.otf", simpleFont({1, 0, 0, 0}, "Open").sfntVersion(0x4F54544F).build());
    const auto folder = fonts.enginePath();

    EXPECT_EQ(run({"--fonts-dir", folder}).size(), 12u + 2u + 1u);
    EXPECT_EQ(run({"--fonts-dir", folder, "--all-members"}).size(), 15u) << "still accepted, as it always was";
    EXPECT_EQ(run({"--program", "--fonts-dir", folder}).size(), 10u) << "the program reads 10 members of a ttc";
    EXPECT_THAT(run({"--fonts-dir", folder, "--formats", "otc,otf"}),
                ElementsAre("Cff A  (cff.otc)", "Cff B  (cff.otc)", "Open   (single.otf)"));
    const auto bad = query({"--fonts-dir", folder, "--formats", "ttf,woff"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_THAT(bad.err, HasSubstr("--formats"));
}

// A format is a whole word: not a file name that ends in one.
TEST(QueryFonts, FormatsAreWholeWordsInEitherCase) {
    TempFolder fonts;
    fonts.write("single.otf", simpleFont({1, 0, 0, 0}, "Open").sfntVersion(0x4F54544F).build());
    EXPECT_THAT(run({"--fonts-dir", fonts.enginePath(), "--formats", "TTF,Otf"}), ElementsAre("Open   (single.otf)"));
    for (const char* list : {"foo.ttf,bar.TTC", "ttf.ttc", ".otf", "ttf,", "ttf,,otf"}) {
        const auto bad = query({"--fonts-dir", fonts.enginePath(), "--formats", list});
        EXPECT_EQ(bad.exitCode, 2) << list;
        EXPECT_EQ(bad.out, "") << list;
        EXPECT_THAT(bad.err, HasSubstr("--formats needs a list of formats")) << list;
    }
}

TEST(QueryFonts, SeveralFoldersNameFilesByFullPathAndReadAFileReachedTwiceOnce) {
    TempFolder a, b;
    a.write("same.ttf", named({{"Same"}}));
    b.write("same.ttf", named({{"Same"}}));
    EXPECT_THAT(run({"--fonts-dir", a.enginePath(), "--fonts-dir", b.enginePath()}),
                ::testing::UnorderedElementsAre("Same   (" + a.path().string() + "/same.ttf)",
                                                "Same   (" + b.path().string() + "/same.ttf)"));
    EXPECT_THAT(run({"--fonts-dir", a.enginePath(), "--fonts-dir", a.enginePath() + "/"}),
                ElementsAre("Same   (" + a.path().string() + "/same.ttf)"));
}

// A command line is UTF-8, and so are this system's file names: a folder
// named outside ASCII is read by those bytes and shown by them.
TEST(QueryFonts, AFolderNamedOutsideAsciiIsReadAndShownAsNamed) {
    TempFolder fonts;
    const std::string mueller = "M\xC3\xBCller";
    fonts.makeFolder(mueller);
    fonts.write(mueller + "/in.ttf", named({{"Inside"}}));
    const auto folder = fonts.enginePath() + "/" + mueller;
    EXPECT_THAT(run({"--fonts-dir", folder}), ElementsAre("Inside   (in.ttf)"));
    const auto json = run({"--fonts-dir", folder, "--json"});
    ASSERT_EQ(json.size(), 1u);
    EXPECT_EQ(Json::parse(json[0])["dir"], (fonts.path() / mueller).string());
}

TEST(QueryFonts, PerUserFontsComeFromTheLocalApplicationDataFolder) {
    TempFolder system, local;
    system.write("system.ttf", named({{"System"}}));
    std::filesystem::create_directories(local.path() / "Microsoft/Windows/Fonts");
    local.write("Microsoft/Windows/Fonts/mine.ttf", named({{"Mine"}}));
    const auto environment = "env -u WINDIR LOCALAPPDATA=" + quoted(local.path().string());
    EXPECT_THAT(run({"--fonts-dir", system.enginePath(), "--user-fonts"}, environment),
                ElementsAre("Mine   (" + local.path().string() + "/Microsoft/Windows/Fonts/mine.ttf)",
                            "System   (" + system.path().string() + "/system.ttf)"));
    // A per-user folder that cannot be read is a note, not a failure.
    const auto missing = query({"--fonts-dir", system.enginePath(), "--user-fonts"},
                               "env -u WINDIR LOCALAPPDATA=" + quoted((local.path() / "none").string()));
    EXPECT_EQ(missing.exitCode, 0);
    EXPECT_THAT(missing.out, HasSubstr("System"));
    EXPECT_THAT(missing.err, HasSubstr("note: cannot read the per-user fonts folder"));
}

}  // namespace
