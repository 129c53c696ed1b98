// meldrove-query seen from outside: its output, its errors and its exit codes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "font_writer.h"
#include "query_run.h"

namespace {

using querytest::lines;
using querytest::query;
using querytest::quoted;
using testfonts::CollectionWriter;
using testfonts::simpleFont;
using testfonts::TempFolder;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

constexpr std::uint32_t kLatin = 1u << 0, kCyrillic = 1u << 9;

class QueryTool : public ::testing::Test {
protected:
    void SetUp() override {
        fonts.write("sans.ttf", simpleFont({kLatin | kCyrillic, 0, 0, 0}, "Sans").build());
        fonts.write("Latin.TTF", simpleFont({kLatin, 0, 0, 0}, "latin only").build());
        fonts.write("pair.ttc", CollectionWriter()
                                    .member(simpleFont({kCyrillic, 0, 0, 0}, "Pair Cyr"))
                                    .member(simpleFont({kLatin, 0, 0, 0}, "Pair Lat"))
                                    .build());
    }
    TempFolder fonts;
};

TEST_F(QueryTool, ListsEveryFontInListOrderWithoutBlocks) {
    const auto run = query({"--fonts-dir", fonts.path().string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(lines(run.out), ElementsAre("latin only   (Latin.TTF)", "Pair Cyr  (pair.ttc)", "Pair Lat  (pair.ttc)",
                                            "Sans   (sans.ttf)"));
    EXPECT_EQ(run.err, "");
}

TEST_F(QueryTool, KeepsTheFontsThatDeclareEveryNamedBlock) {
    EXPECT_THAT(lines(query({"--fonts-dir", fonts.path().string(), "cyrillic"}).out),
                ElementsAre("Pair Cyr  (pair.ttc)", "Sans   (sans.ttf)"));
    EXPECT_THAT(lines(query({"--fonts-dir=" + fonts.path().string(), "CYRILLIC", "Basic Latin"}).out),
                ElementsAre("Sans   (sans.ttf)"));
    EXPECT_THAT(lines(query({"--fonts-dir", fonts.path().string(), "Yi Syllables"}).out), ElementsAre());
}

TEST_F(QueryTool, FindsTheFontsFolderOfTheWindowsDirectory) {
    TempFolder windows;
    std::filesystem::rename(fonts.path(), windows.path() / "fonts");
    const auto run = query({"Cyrillic", "Basic Latin"}, "WINDIR=" + quoted(windows.path().string()));
    std::filesystem::rename(windows.path() / "fonts", fonts.path());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(lines(run.out), ElementsAre("Sans   (sans.ttf)"));
}

TEST(QueryToolBlocks, PrintsTheBitAndNameOfEveryBlock) {
    const auto run = query({"--blocks"});
    EXPECT_EQ(run.exitCode, 0);
    const auto rows = lines(run.out);
    ASSERT_EQ(rows.size(), 79u);
    EXPECT_EQ(rows[0], "  0  Basic Latin");
    EXPECT_EQ(rows[8], "  9  Cyrillic");
    EXPECT_EQ(rows[78], " 83  Yi Syllables");
}

TEST(QueryToolBadInput, AnswersWithOneLineAndExitCode2) {
    TempFolder empty;
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{"--fonts-dir", empty.path().string(), "Cyrilic"}, "unknown block 'Cyrilic'; closest: \"Cyrillic\""},
        {{"--fonts-dir", empty.path().string(), "--sort"}, "unknown option '--sort'"},
        {{"--fonts-dir"}, "--fonts-dir needs a folder"},
        {{"--fonts-dir", (empty.path() / "missing").string()}, "cannot read fonts folder '"},
        {{"--fonts-dir", std::string(300, 'x')}, "at most 253"},
        {{"--fonts-dir", ""}, "--fonts-dir needs a folder; it was given an empty name"},
        {{"--fonts-dir="}, "--fonts-dir needs a folder; it was given an empty name"},
        {{"Cyrillic"}, "no Windows directory (WINDIR is not set"},
        {{"--blocks", "Greek"}, "--blocks takes no other arguments"},
    };
    for (const auto& c : cases) {
        const auto run = query(c.args);
        EXPECT_EQ(run.exitCode, 2) << c.message;
        EXPECT_EQ(run.out, "") << c.message;
        EXPECT_THAT(run.err, HasSubstr(c.message));
        EXPECT_EQ(lines(run.err).size(), 1u) << run.err;
    }
}

// A folder of exactly `length` characters under `base`, made of nested
// folders, as a user's deep fonts folder would be.
std::string folderOfLength(const std::filesystem::path& base, std::size_t length) {
    auto folder = base.string();
    while (folder.size() < length) {
        const auto part = std::min<std::size_t>(100, length - folder.size() - 1);
        folder += "/" + std::string(std::max<std::size_t>(part, 1), 'd');
    }
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(QueryToolBadInput, AFolderTooLongForItsSearchPatternIsRefusedNotListedEmpty) {
    TempFolder base;
    // Its patterns "<folder>\*.ttf" fit 259 characters up to a folder of 253.
    const auto fits = folderOfLength(base.path(), 253);
    const auto font = simpleFont({kLatin, 0, 0, 0}, "Fits").build();
    std::ofstream(fits + "/f.ttf", std::ios::binary)
        .write(reinterpret_cast<const char*>(font.data()), static_cast<std::streamsize>(font.size()));
    const auto listed = query({"--fonts-dir", fits});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "Fits   (f.ttf)\n");

    for (std::size_t length : {254u, 259u}) {
        const auto run = query({"--fonts-dir", folderOfLength(base.path(), length)});
        EXPECT_EQ(run.exitCode, 2) << length;
        EXPECT_EQ(run.out, "");
        EXPECT_THAT(run.err, HasSubstr("at most 253")) << length;
    }
}

TEST(QueryToolBadInput, AWindowsDirectoryTooLongForItsFontsFolderIsToldSo) {
    const auto run = query({"Cyrillic"}, "env WINDIR=/" + std::string(254, 'w'));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr("the Windows directory (WINDIR) is 255 characters long"));
    EXPECT_THAT(query({}, "env WINDIR=").err, HasSubstr("no Windows directory (WINDIR is not set, or empty)"));
}

TEST(QueryToolHelp, ExplainsUsageAndExitCodes) {
    const auto run = query({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.out, HasSubstr("Usage: meldrove-query [OPTION ...] [BLOCK ...]"));
    EXPECT_THAT(run.out, HasSubstr("Unicode 17.0.0"));
    EXPECT_THAT(run.out, HasSubstr("Exit codes"));
}

TEST(QueryToolDamagedFonts, ReportsOnStandardErrorAndListsTheRest) {
    TempFolder fonts;
    fonts.write("nameless.ttf", testfonts::FontWriter().table("OS/2", testfonts::os2Table({1, 0, 0, 0})).build());
    fonts.write("good.ttf", simpleFont({1, 0, 0, 0}, "Good").build());
    const auto run = query({"--fonts-dir", fonts.path().string(), "Basic Latin"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(lines(run.out), ElementsAre("   (nameless.ttf)", "Good   (good.ttf)"));
    EXPECT_THAT(run.err, HasSubstr(": ** No name table found **\n"));
    EXPECT_THAT(run.err, HasSubstr("nameless.ttf"));
}

// A font whose file ends inside its third table record, that of its name table.
testfonts::Bytes directoryCutBeforeItsNameRecord() {
    const auto font = testfonts::FontWriter()
                          .table("cmap", {1, 2, 3, 4})
                          .table("head", {1, 2, 3, 4})
                          .table("name", testfonts::nameTable({{"Cut"}}))
                          .build();
    return testfonts::truncated(font, 12 + 16 * 2 + 8);
}

TEST(QueryToolDamagedFonts, OutsideTheProgramsAnswerACutDirectoryIsANoteAndTheRestIsListed) {
    TempFolder fonts;
    fonts.write("cut.ttf", directoryCutBeforeItsNameRecord());
    fonts.write("good.ttf", simpleFont({1, 0, 0, 0}, "Good").build());
    fonts.write("readme.ttf", {'h', 'i', '\n'});
    const auto run = query({"--fonts-dir", fonts.path().string(), "--coverage", "Basic Latin"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(lines(run.out), ElementsAre(HasSubstr("Good   (good.ttf)")));
    EXPECT_THAT(lines(run.err), ElementsAre("meldrove-query: " + (fonts.path() / "cut.ttf").string() +
                                                ": its table directory is cut off before its name table; left out",
                                            "meldrove-query: " + (fonts.path() / "readme.ttf").string() +
                                                ": is not a font file (no sfnt or collection header); left out"));
}

TEST(QueryToolDamagedFonts, EndsWithExitCode255WhenADirectoryIsCutOff) {
    TempFolder fonts;
    fonts.write("cut.ttf", directoryCutBeforeItsNameRecord());
    const auto run = query({"--fonts-dir", fonts.path().string()});
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "OS/2 not foundRead failed on table #2\n");
}

}  // namespace
