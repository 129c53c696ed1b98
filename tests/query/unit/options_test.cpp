// The command line: one table of options drives the parser and --help, each
// option lands in its group, and the rules that span options are checked
// once every argument is read.
#include "query/options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "coverage/coverage_rows.h"

namespace {

using query::BadInput;
using query::NameChoice;
using query::OptionRow;
using query::parseCommandLine;
using query::QueryOptions;
using query::ShowBlocks;
using query::ShowHelp;
using query::ValueKind;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A file of a few characters to look for.
std::string textFile() {
    static const auto path = [] {
        const auto file = std::filesystem::temp_directory_path() / "meldrove-options-test.txt";
        std::ofstream(file, std::ios::binary) << "Text\n";
        return file.string();
    }();
    return path;
}

// A command line that each row accepts, alone or with what it needs: a row
// added to the table without one here fails the first test.
const std::map<std::string_view, std::vector<std::string>> kExamples = {
    {"BLOCK", {"Cyrillic"}},
    {"--blocks", {"--blocks"}},
    {"--all", {"--blocks", "--all"}},
    {"--fonts-dir", {"--fonts-dir", "fonts"}},
    {"--user-fonts", {"--user-fonts"}},
    {"--formats", {"--formats", "otf,ttf"}},
    {"--all-members", {"--all-members"}},
    {"--font", {"--font", "a.ttf"}},
    {"--recursive", {"--recursive", "--fonts-dir", "fonts"}},
    {"--program", {"--program", "Greek"}},
    {"--coverage", {"--coverage"}},
    {"--match", {"--match", "both", "Greek"}},
    {"--min", {"--min", "5", "--match", "covered", "Greek"}},
    {"--near", {"--near=2", "--match", "covered", "--chars", "x"}},
    {"--missing", {"--missing=3", "Greek"}},
    {"--chars", {"--chars", "é"}},
    {"--chars-file", {"--chars-file", textFile()}},
    {"--codepoints", {"--codepoints", "U+0041"}},
    {"--audit", {"--audit"}},
    {"--shaping", {"--shaping", "--lang", "ar"}},
    {"--cover", {"--cover", "--chars", "abc"}},
    {"--layout", {"--layout"}},
    {"--lang", {"--lang", "vi,Polish"}},
    {"--lang-level", {"--lang-level", "auxiliary", "--lang", "vi"}},
    {"--decomposed", {"--decomposed", "--chars", "e"}},
    {"--languages", {"--languages"}},
    {"--langs", {"--langs", "--json"}},
    {"--names", {"--names", "best"}},
    {"--json", {"--json"}},
    {"--help", {"--help"}},
    {"--version", {"--version"}},
};

QueryOptions options(const std::vector<std::string>& args) {
    const auto parsed = parseCommandLine(args);
    if (const auto* bad = std::get_if<BadInput>(&parsed)) ADD_FAILURE() << bad->message;
    const auto* options = std::get_if<QueryOptions>(&parsed);
    return options ? *options : QueryOptions{};
}

std::string problem(const std::vector<std::string>& args) {
    const auto parsed = parseCommandLine(args);
    const auto* bad = std::get_if<BadInput>(&parsed);
    return bad ? bad->message : "(accepted)";
}

// The worked examples that end --help are command lines the tool takes.
TEST(OptionTable, TheHelpsExamplesParse) {
    const auto help = query::helpText();
    const auto examples = help.find("\nExamples:\n");
    ASSERT_NE(examples, std::string::npos);
    std::size_t commands = 0;
    constexpr std::string_view kCommand = "    meldrove-query ";
    for (auto at = help.find(kCommand, examples); at != std::string::npos; at = help.find(kCommand, at + 1)) {
        const auto end = help.find('\n', at);
        std::vector<std::string> args;
        std::string word;
        for (const char c : help.substr(at + kCommand.size(), end - at - kCommand.size()) + " ") {
            if (c != ' ') {
                word += c;
            } else if (!word.empty()) {
                args.push_back(word == "notes.txt" ? textFile() : word);
                word.clear();
            }
        }
        const auto parsed = parseCommandLine(args);
        EXPECT_FALSE(std::holds_alternative<BadInput>(parsed))
            << help.substr(at, end - at) << ": " << std::get_if<BadInput>(&parsed)->message;
        ++commands;
    }
    EXPECT_GE(commands, 5u);
}

TEST(OptionTable, EveryRowParsesAndAppearsInTheHelp) {
    const auto help = query::helpText();
    for (const auto& row : query::optionTable()) {
        const auto example = kExamples.find(row.name);
        ASSERT_NE(example, kExamples.end()) << "no example for " << row.name;
        const auto parsed = parseCommandLine(example->second);
        EXPECT_FALSE(std::holds_alternative<BadInput>(parsed))
            << row.name << ": " << std::get_if<BadInput>(&parsed)->message;
        EXPECT_THAT(help, HasSubstr(std::string(row.name))) << row.name;
        if (row.name == "--help") {
            for (const auto* alias : {"-h", "/?"}) {
                EXPECT_TRUE(std::holds_alternative<ShowHelp>(parseCommandLine({alias}))) << alias;
            }
        }
        if (row.value == ValueKind::required || row.value == ValueKind::optional) {
            EXPECT_THAT(help, HasSubstr(std::string(row.valueName))) << row.name;
        }
    }
}

// What --help shows of every row: its name and value, then its help from
// the same column on every line, the line kept short.
TEST(OptionTable, HelpLinesStartInOneColumnAndFitATerminal) {
    const auto help = query::helpText();
    EXPECT_THAT(help, HasSubstr("\n  --fonts-dir DIR    read the fonts of DIR instead"));
    EXPECT_THAT(help, HasSubstr("\n  --missing[=N]      under each font"));
    EXPECT_THAT(help, HasSubstr("\n  --match declared|covered|both\n                     declared (default)"));
    EXPECT_THAT(help, HasSubstr("\n  --blocks [--all]   the 79 blocks"));
    EXPECT_THAT(help, HasSubstr("What they cover (Unicode 17.0.0, from each font's character map):\n"));
    for (std::size_t start = 0, end; start < help.size(); start = end + 1) {
        end = help.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "the help ends its last line";
        const auto line = help.substr(start, end - start);
        EXPECT_LE(line.size(), 80u) << line;
        EXPECT_TRUE(line.empty() || line.back() != ' ') << "a blank at the end of: " << line;
    }
}

TEST(CommandLine, EachOptionLandsInItsGroup) {
    const auto o =
        options({"--fonts-dir", "a",       "--fonts-dir=b", "--user-fonts", "--formats", "OTF,ttf,otf", "--all-members",
                 "--match",     "covered", "--min",         "40",           "--near",    "7",           "--missing",
                 "--names",     "windows", "--json",        "--coverage",   "--audit",   "Greek"});
    EXPECT_THAT(o.sources.folders, ElementsAre("a", "b"));
    EXPECT_TRUE(o.sources.userFonts);
    EXPECT_THAT(o.sources.formats, ElementsAre(inventory::FontFormat::otf, inventory::FontFormat::ttf));
    EXPECT_TRUE(o.sources.allMembers);
    EXPECT_EQ(o.request.match, coverage::MatchMode::covered);
    EXPECT_EQ(o.request.minPercent, 40u);
    EXPECT_EQ(o.request.near, 7u);
    EXPECT_EQ(o.request.missingListed, query::kDefaultMissingListed);
    EXPECT_EQ(o.shown.names, NameChoice::windows);
    EXPECT_TRUE(o.shown.json);
    EXPECT_TRUE(o.shown.coverageFields);
    EXPECT_TRUE(o.shown.audit);
    EXPECT_FALSE(o.sources.program);
    EXPECT_THAT(options({"--font", "a.ttf", "-r", "--font=b.otc"}).sources.files, ElementsAre("a.ttf", "b.otc"));
    EXPECT_TRUE(options({"-r"}).sources.recursive);
}

// Every font the user has, every format and member, the Windows names.
TEST(CommandLine, TheDefaultsReadEverythingAndShowRealNames) {
    const auto none = options({});
    EXPECT_FALSE(none.sources.program);
    EXPECT_TRUE(none.sources.folders.empty());
    EXPECT_FALSE(none.sources.recursive);
    EXPECT_EQ(none.sources.formats.size(), 4u);
    EXPECT_TRUE(none.sources.allMembers);
    EXPECT_EQ(none.shown.names, NameChoice::best);
    EXPECT_EQ(none.request.match, coverage::MatchMode::declared) << "what a range bit means";
    EXPECT_FALSE(none.needsCharacterMaps());
    EXPECT_FALSE(none.request.missingListed);
}

// The program's answer is its own: blocks and one folder, its names.
TEST(CommandLine, TheProgramsAnswerTakesBlocksAndOneFolderAlone) {
    const auto program = options({"--program", "Cyrillic", "--fonts-dir", "x"});
    EXPECT_TRUE(program.sources.program);
    EXPECT_EQ(program.shown.names, NameChoice::mac);
    EXPECT_THAT(program.request.rows, ElementsAre(coverage::findCoverageRow("Cyrillic")));
    EXPECT_EQ(problem({"--program", "--json"}),
              "--program gives the Windows program's answer: it takes blocks and one --fonts-dir, not --json");
    EXPECT_THAT(problem({"--coverage", "--program"}), HasSubstr("not --coverage"));
    EXPECT_THAT(problem({"--program", "--font", "a.ttf"}), HasSubstr("not --font"));
    EXPECT_EQ(problem({"--program", "--fonts-dir", "a", "--fonts-dir", "b"}),
              "--program reads one --fonts-dir, not more");
}

TEST(CommandLine, BlocksAreKeptOnceInTheOrderFirstNamed) {
    const auto o = options({"Greek", "cyrillic", "GREEK", "Phags-pa"});
    EXPECT_THAT(o.request.rows, ElementsAre(coverage::findCoverageRow("Greek"), coverage::findCoverageRow("Cyrillic"),
                                            coverage::findCoverageRow("Phags-pa")));
    EXPECT_THAT(problem({"Cyrilic"}), HasSubstr("unknown block 'Cyrilic'; closest: \"Cyrillic\""));
    EXPECT_THAT(problem({"-"}), HasSubstr("unknown block '-'"));
}

TEST(CommandLine, CharactersAndCodePointsAreOneSortedSet) {
    const auto o = options({"--codepoints", "u+0043-44,41", "--chars", "Bé", "--codepoints=U+00E9"});
    EXPECT_THAT(o.request.codePoints,
                ElementsAre(fontfile::CodePointRange{0x41, 0x44}, fontfile::CodePointRange{0xE9, 0xE9}));
    EXPECT_TRUE(o.needsCharacterMaps());
    EXPECT_THAT(problem({"--codepoints", "41-40"}), HasSubstr("ends before it starts"));
    EXPECT_THAT(problem({"--codepoints", "110000"}), HasSubstr("not a code point"));
    EXPECT_THAT(problem({"--chars", "\xff"}), HasSubstr("--chars: the text is not UTF-8"));
}

// A value follows "=" or is the next argument; --missing takes one only
// after "=", so that a block can follow it.
TEST(CommandLine, ValuesFollowAnEqualsSignOrComeNext) {
    EXPECT_EQ(options({"--min=30", "--match=both", "Greek"}).request.minPercent, 30u);
    EXPECT_EQ(options({"--missing=0", "Greek"}).request.missingListed, 0u);
    EXPECT_EQ(options({"--missing=all", "Greek"}).request.missingListed, query::kEveryMissing);
    EXPECT_THAT(options({"--missing", "Greek"}).request.rows, ElementsAre(coverage::findCoverageRow("Greek")));
    EXPECT_THAT(problem({"--missing=x"}), HasSubstr("--missing=N needs a count"));
    EXPECT_EQ(problem({"--min"}), "--min needs a whole percentage from 0 to 100");
    EXPECT_EQ(problem({"--min", "101"}), "--min needs a whole percentage from 0 to 100");
    EXPECT_EQ(problem({"--names", "Best"}), "--names needs mac, windows or best");
    // The next argument is a value even when it looks like an option.
    EXPECT_THAT(options({"--fonts-dir", "--json"}).sources.folders, ElementsAre("--json"));
}

TEST(CommandLine, AnOptionWithoutAValueSaysSoWhenGivenOne) {
    EXPECT_EQ(problem({"--json=yes"}), "option --json takes no value");
    EXPECT_EQ(problem({"--help=x"}), "option --help takes no value");
    EXPECT_EQ(problem({"--blocks=1"}), "option --blocks takes no value");
    EXPECT_EQ(problem({"--sort=name"}), "unknown option '--sort' (see --help)");
    EXPECT_EQ(problem({"-x"}), "unknown option '-x' (see --help)");
}

// --help answers at once, whatever follows; an earlier mistake comes first.
TEST(CommandLine, HelpIsShownUnlessAnEarlierArgumentIsWrong) {
    EXPECT_TRUE(std::holds_alternative<ShowHelp>(parseCommandLine({"--json", "-h", "Cyrilic", "--bogus"})));
    EXPECT_EQ(problem({"--bogus", "--help"}), "unknown option '--bogus' (see --help)");
}

// Everything there is may be missing: U+0000 to U+10FFFF.
TEST(CommandLine, NearReachesEveryCodePointThereIs) {
    EXPECT_EQ(options({"--match", "covered", "--near", "1114112", "Greek"}).request.near, 0x110000u);
    EXPECT_THAT(problem({"--match", "covered", "--near", "1114113", "Greek"}), HasSubstr("from 0 to 1114112"));
    EXPECT_EQ(options({"--match", "covered", "--near", "0", "Greek"}).request.near, 0u);
}

// An option that would change nothing is refused rather than ignored.
TEST(CommandLine, AnOptionWithNothingToActOnIsBadInput) {
    EXPECT_THAT(problem({"--min", "50", "Greek"}), HasSubstr("--min is the percentage for --match covered"));
    EXPECT_THAT(problem({"--missing"}), HasSubstr("--missing needs blocks, --lang, --chars or --codepoints"));
    EXPECT_THAT(problem({"--match", "covered"}), HasSubstr("--match covered needs blocks"));
    EXPECT_THAT(problem({"--match", "both", "--near", "3"}), HasSubstr("--match both needs blocks"));
    EXPECT_EQ(problem({"--match", "declared"}), "(accepted)");
    // --coverage alone counts every block each face declares or maps.
    EXPECT_TRUE(options({"--coverage"}).request.everyTouchedRow);
    EXPECT_FALSE(options({"--coverage", "Greek"}).request.everyTouchedRow);
    EXPECT_FALSE(options({"--coverage", "--chars", "x"}).request.everyTouchedRow);
}

TEST(CommandLine, LanguagesAreNamedOnceAndTheirOptionsNeedThem) {
    const auto o = options({"--lang", "vi,PL", "--lang=Vietnamese", "--lang-level", "auxiliary", "--decomposed"});
    EXPECT_THAT(o.request.languages, ElementsAre(coverage::findLanguage("vi"), coverage::findLanguage("pl")));
    EXPECT_EQ(o.request.level, coverage::LanguageLevel::auxiliary);
    EXPECT_EQ(o.request.decomposed, coverage::DecomposedForms::counted);
    EXPECT_TRUE(o.needsCharacterMaps());
    EXPECT_THAT(problem({"--lang", "vi,,pl"}), HasSubstr("unknown language ''"));
    EXPECT_THAT(problem({"--lang-level", "auxiliary"}), HasSubstr("--lang-level is the level of --lang"));
    EXPECT_THAT(problem({"--decomposed"}), HasSubstr("--decomposed needs blocks, --lang"));
    EXPECT_THAT(problem({"--lang-level", "main", "--lang", "vi"}), HasSubstr("base or auxiliary"));
    EXPECT_TRUE(options({"--languages"}).request.supportedLanguages);
    const auto list = parseCommandLine({"--langs", "--lang-level=auxiliary"});
    ASSERT_TRUE(std::holds_alternative<query::ShowLanguages>(list));
    EXPECT_EQ(std::get<query::ShowLanguages>(list).level, coverage::LanguageLevel::auxiliary);
    EXPECT_THAT(problem({"--langs", "--coverage"}), HasSubstr("--langs takes no other arguments"));
}

TEST(CommandLine, CodePointsMaySeparateByBlanksOrCommas) {
    EXPECT_THAT(options({"--codepoints", " U+0041-U+0043 U+0400,\tU+0401 , 42 "}).request.codePoints,
                ElementsAre(fontfile::CodePointRange{0x41, 0x43}, fontfile::CodePointRange{0x400, 0x401}));
    EXPECT_THAT(problem({"--codepoints", " , "}), HasSubstr("no code point"));
}

TEST(CommandLine, RulesAcrossOptionsHoldInAnyOrder) {
    EXPECT_EQ(options({"--near", "2", "Greek", "--match", "both"}).request.near, 2u);
    EXPECT_THAT(problem({"--near", "2"}), HasSubstr("--near counts missing characters"));
    EXPECT_THAT(problem({"--near", "2", "--match", "declared"}), HasSubstr("--near counts missing characters"));
    EXPECT_EQ(problem({"--all"}), "--all goes with --blocks");
    EXPECT_EQ(problem({"--all", "Greek", "--blocks"}), "--blocks takes no other arguments but --all and --json");

    const auto blocks = parseCommandLine({"--json", "--all", "--blocks"});
    ASSERT_TRUE(std::holds_alternative<ShowBlocks>(blocks));
    EXPECT_TRUE(std::get<ShowBlocks>(blocks).all);
    EXPECT_TRUE(std::get<ShowBlocks>(blocks).json);
}

}  // namespace
