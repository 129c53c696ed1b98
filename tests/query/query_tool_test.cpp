// meldrove-query seen from outside: its output, its errors and its exit codes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "font_writer.h"
#include "meldrove_version.h"
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
    empty.write("a.ttf", simpleFont({kLatin, 0, 0, 0}, "A").build());
    const std::vector<Case> cases = {
        {{"--fonts-dir", empty.path().string(), "Cyrilic"}, "unknown block 'Cyrilic'; closest: \"Cyrillic\""},
        {{"--fonts-dir", empty.path().string(), "--sort"}, "unknown option '--sort'"},
        {{"--fonts-dir"}, "--fonts-dir needs a folder"},
        {{"--fonts-dir", (empty.path() / "missing").string()}, "cannot read fonts folder '"},
        {{"--program", "--fonts-dir", std::string(300, 'x')}, "at most 253"},
        {{"--fonts-dir", std::string(300, 'x')}, "cannot read fonts folder '"},
        {{"--font", (empty.path() / "missing.ttf").string()}, "cannot read font file '"},
        {{"--fonts-dir", (empty.path() / "a.ttf").string()}, "it is a file: read a font file with --font"},
        {{"Vietnamese"}, "unknown block 'Vietnamese'"},
        {{"--fonts-dir", ""}, "--fonts-dir needs a folder; it was given an empty name"},
        {{"--fonts-dir="}, "--fonts-dir needs a folder; it was given an empty name"},
        {{"--program", "Cyrillic"}, "no Windows directory (WINDIR is not set"},
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

// The program's patterns "<folder>\*.ttf" fit 259 characters up to a folder
// of 253; past that its answer is refused, not listed empty. Every other
// answer reads a folder of any length.
TEST(QueryToolBadInput, AFolderTooLongForTheProgramIsRefusedAndReadOtherwise) {
    TempFolder base;
    const auto font = simpleFont({kLatin, 0, 0, 0}, "Fits").build();
    for (std::size_t length : {253u, 254u, 259u, 400u}) {
        const auto folder = folderOfLength(base.path(), length);
        std::ofstream(folder + "/f.ttf", std::ios::binary)
            .write(reinterpret_cast<const char*>(font.data()), static_cast<std::streamsize>(font.size()));
        const auto listed = query({"--fonts-dir", folder});
        EXPECT_EQ(listed.exitCode, 0) << length << listed.err;
        EXPECT_EQ(listed.out, "Fits   (f.ttf)\n") << length;
        const auto program = query({"--program", "--fonts-dir", folder});
        if (length == 253) {
            EXPECT_EQ(program.out, "Fits   (f.ttf)\n");
        } else {
            EXPECT_EQ(program.exitCode, 2) << length;
            EXPECT_EQ(program.out, "");
            EXPECT_THAT(program.err, HasSubstr("at most 253")) << length;
        }
    }
}

TEST(QueryToolBadInput, AWindowsDirectoryWithoutAFontsFolderIsToldSo) {
    const auto program = query({"--program", "Cyrillic"}, "env WINDIR=/" + std::string(254, 'w'));
    EXPECT_EQ(program.exitCode, 2);
    EXPECT_THAT(program.err, HasSubstr("the Windows directory (WINDIR) is 255 characters long"));
    EXPECT_THAT(query({"--program"}, "env WINDIR=").err,
                HasSubstr("no Windows directory (WINDIR is not set, or empty)"));
    const auto catalog = query({"Cyrillic"}, "env WINDIR=/nowhere");
    EXPECT_EQ(catalog.exitCode, 2);
    EXPECT_THAT(catalog.err, HasSubstr("the Windows directory (WINDIR) has no fonts folder"));
}

// As grep has them: 0 when a font is listed, 1 when none is; an audit is
// 0 when clean and 1 with findings, so that a font project's CI can run it.
TEST_F(QueryTool, ExitCodesTellWhatWasFound) {
    const auto folder = fonts.path().string();
    EXPECT_EQ(query({"--fonts-dir", folder, "--match", "covered", "Cyrillic"}).exitCode, 1);
    EXPECT_EQ(query({"--fonts-dir", folder, "--json", "Yi Syllables"}).exitCode, 1);
    EXPECT_EQ(query({"--fonts-dir", folder, "--json", "Cyrillic"}).exitCode, 0);
    EXPECT_EQ(query({"--fonts-dir", folder, "--audit", "--chars", "\u4E00"}).exitCode, 0)
        << "no font listed, no finding";
    EXPECT_EQ(query({"--fonts-dir", folder, "--audit"}).exitCode, 1) << "no font maps what its bits declare";
    EXPECT_EQ(query({"--fonts-dir", folder, "--match", "covered"}).exitCode, 2);
    // The program's answer keeps the program's code, whatever it lists.
    EXPECT_EQ(query({"--program", "--fonts-dir", folder, "Yi Syllables"}).exitCode, 0);
}

TEST_F(QueryTool, OutputThatCannotBeWrittenFailsTheRun) {
    for (const auto& args : {std::vector<std::string>{"--fonts-dir", fonts.path().string(), "--json"},
                             {"--fonts-dir", fonts.path().string()},
                             {"--help"}}) {
        std::string command = "env -u WINDIR " + quoted(MELDROVE_QUERY);
        for (const auto& arg : args) command += " " + quoted(arg);
        TempFolder capture;
        const auto err = capture.path() / "err";
        const int status = std::system((command + " >/dev/full 2>" + quoted(err.string())).c_str());
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 3) << args.back();
        EXPECT_EQ(querytest::text(err), "meldrove-query: standard output could not be written\n");
    }
}

// A reader that goes away early (head) ends the run without a word, even
// where SIGPIPE is ignored and the write fails with EPIPE instead.
TEST_F(QueryTool, AClosedPipeEndsTheRunQuietly) {
    TempFolder capture;
    const auto err = capture.path() / "err";
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    const pid_t child = fork();
    if (child == 0) {
        dup2(ends[1], 1);
        std::freopen(err.c_str(), "w", stderr);
        std::signal(SIGPIPE, SIG_IGN);
        execl(MELDROVE_QUERY, MELDROVE_QUERY, "--blocks", "--all", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(querytest::text(err), "");
}

TEST(QueryToolHelp, ExplainsUsageAndExitCodes) {
    const auto run = query({"--help"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(run.out, HasSubstr("Usage: meldrove-query [OPTION ...] [BLOCK ...]"));
    EXPECT_THAT(run.out, HasSubstr("Unicode 17.0.0"));
    EXPECT_THAT(run.out, HasSubstr("Exit codes"));
}

// Scripts read the first line; it needs no fonts folder, nor WINDIR, and
// wins over what follows it, as --help does.
TEST(QueryToolVersion, PrintsTheToolAndItsVersionFirstOnStandardOutput) {
    TempFolder empty;
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--version"}, {"--fonts-dir", (empty.path() / "missing").string(), "--version", "Klingon", "--help"}}) {
        const auto run = query(args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        const auto printed = lines(run.out);
        ASSERT_FALSE(printed.empty());
        EXPECT_EQ(printed[0], "meldrove-query " MELDROVE_VERSION);
        EXPECT_THAT(printed, ::testing::Contains("Unicode 17.0.0 blocks and assigned code points"));
    }
    EXPECT_THAT(query({"--help"}).out, HasSubstr("--version "));
}

TEST(QueryToolVersion, IsAWholeArgumentOnly) {
    for (const char* arg : {"--versions", "-version", "--Version"}) {
        const auto run = query({arg});
        EXPECT_EQ(run.exitCode, 2) << arg;
        EXPECT_EQ(run.out, "") << arg;
        EXPECT_THAT(run.err, HasSubstr("unknown option")) << arg;
    }
}

TEST(QueryToolDamagedFonts, ReportsOnStandardErrorAndListsTheRest) {
    TempFolder fonts;
    fonts.write("nameless.ttf", testfonts::FontWriter().table("OS/2", testfonts::os2Table({1, 0, 0, 0})).build());
    fonts.write("good.ttf", simpleFont({1, 0, 0, 0}, "Good").build());
    const auto run = query({"--fonts-dir", fonts.path().string(), "Basic Latin"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_THAT(lines(run.out), ElementsAre("   (nameless.ttf)", "Good   (good.ttf)"));
    EXPECT_THAT(lines(run.err), ElementsAre("meldrove-query: " + (fonts.path() / "nameless.ttf").string() +
                                            ": has no name table; listed without a name"));
    // The program tells it in its own words.
    const auto program = query({"--program", "--fonts-dir", fonts.path().string(), "Basic Latin"});
    EXPECT_EQ(lines(program.out), lines(run.out));
    EXPECT_THAT(program.err, HasSubstr("nameless.ttf: ** No name table found **\n"));
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

TEST(QueryToolDamagedFonts, TheProgramsAnswerEndsWithExitCode255WhenADirectoryIsCutOff) {
    TempFolder fonts;
    fonts.write("cut.ttf", directoryCutBeforeItsNameRecord());
    const auto run = query({"--program", "--fonts-dir", fonts.path().string()});
    EXPECT_EQ(run.exitCode, 255);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "OS/2 not foundRead failed on table #2\n");
}

}  // namespace
