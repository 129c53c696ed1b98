#include "query/options.h"

#include <algorithm>
#include <charconv>
#include <memory>
#include <string_view>
#include <utility>

#include "coverage/coverage_rows.h"
#include "coverage/edit_distance.h"
#include "coverage/language_data.h"
#include "coverage/languages.h"
#include "coverage/unicode_data.h"
#include "platform/ascii.h"
#include "query/text.h"
#include "query/text_input.h"

namespace query {

// What the rows' handlers fill in, and what the rules that span several
// options look at once every argument is read.
struct ParseState {
    QueryOptions options;
    std::vector<std::size_t> rows;                     // blocks named, each once, in the order given
    std::vector<fontfile::CodePointRange> codePoints;  // from --chars and --codepoints, unsorted
    bool blocks = false;                               // --blocks
    bool allBlocks = false;                            // --all
    bool help = false;                                 // --help
    bool version = false;                              // --version
    bool languageList = false;                         // --langs
    bool minimumGiven = false;                         // --min
    bool shaping = false;                              // --shaping
    std::vector<const OptionRow*> given;               // every option given, in order
};

namespace {

using coverage::MatchMode;
using fontfile::CodePointRange;
using Problem = std::optional<std::string>;
using Value = std::optional<std::string_view>;

// ---- Values ---------------------------------------------------------------------

// The three row names nearest to `name`, nearest first.
std::string closestBlocks(std::string_view name) {
    const auto rows = coverage::coverageRows();
    std::vector<std::pair<std::size_t, std::size_t>> ranked;
    for (std::size_t row = 0; row < rows.size(); ++row)
        ranked.emplace_back(coverage::editDistanceIgnoringAsciiCase(name, rows[row].name), row);
    std::stable_sort(ranked.begin(), ranked.end());
    std::string names;
    for (std::size_t i = 0; i < 3; ++i) names += (i ? ", \"" : "\"") + std::string(rows[ranked[i].second].name) + "\"";
    return names;
}

std::optional<std::uint32_t> number(std::string_view text, std::uint32_t most) {
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > most) return std::nullopt;
    return value;
}

std::optional<char32_t> codePoint(std::string_view text) {
    if (text.size() > 2 && (text[0] == 'U' || text[0] == 'u') && text[1] == '+') text.remove_prefix(2);
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || text.size() > 6 || error != std::errc() || end != text.data() + text.size() ||
        value > fontfile::kLastCodePoint) {
        return std::nullopt;
    }
    return static_cast<char32_t>(value);
}

// The words of a list separated by commas, blanks or both, as --missing
// prints code points and as people type them.
std::vector<std::string_view> wordsOf(std::string_view list) {
    std::vector<std::string_view> words;
    constexpr std::string_view kSeparators = ", \t";
    for (auto start = list.find_first_not_of(kSeparators); start != std::string_view::npos;) {
        const auto end = list.find_first_of(kSeparators, start);
        words.push_back(list.substr(start, end - start));
        start = end == std::string_view::npos ? end : list.find_first_not_of(kSeparators, end);
    }
    return words;
}

// The words of a comma-separated list, empty ones included.
std::vector<std::string_view> commaSeparated(std::string_view list) {
    std::vector<std::string_view> words;
    while (true) {
        const auto comma = list.find(',');
        words.push_back(list.substr(0, comma));
        if (comma == std::string_view::npos) return words;
        list.remove_prefix(comma + 1);
    }
}

// The format a whole word names, letters in either case: "ttf", not "x.ttf".
std::optional<inventory::FontFormat> formatNamed(std::string_view word) {
    using inventory::FontFormat;
    for (const auto format : {FontFormat::ttf, FontFormat::ttc, FontFormat::otf, FontFormat::otc}) {
        if (platform::equalIgnoringAsciiCase(word, inventory::formatName(format))) return format;
    }
    return std::nullopt;
}

std::optional<std::vector<inventory::FontFormat>> formatList(std::string_view list) {
    std::vector<inventory::FontFormat> formats;
    for (const auto word : commaSeparated(list)) {
        const auto format = formatNamed(word);
        if (!format) return std::nullopt;
        if (std::find(formats.begin(), formats.end(), *format) == formats.end()) formats.push_back(*format);
    }
    return formats;
}

// The value a word names among `table`'s, spelt exactly; nothing for
// another word, or none.
template <class T, std::size_t N>
std::optional<T> choice(Value word, const std::pair<std::string_view, T> (&table)[N]) {
    for (const auto& [name, value] : table) {
        if (word == name) return value;
    }
    return std::nullopt;
}

constexpr std::pair<std::string_view, NameChoice> kNameChoices[] = {
    {"mac", NameChoice::mac}, {"windows", NameChoice::windows}, {"best", NameChoice::best}};
constexpr std::pair<std::string_view, MatchMode> kMatchModes[] = {
    {"declared", MatchMode::declared}, {"covered", MatchMode::covered}, {"both", MatchMode::both}};

// ---- What each option does ---------------------------------------------------------

std::string needs(const OptionRow& row, std::string_view what) {
    return std::string(row.name) + " needs " + std::string(what);
}

// A switch: the member of the state it turns on.
template <auto Member>
Problem turnOn(ParseState& state, const OptionRow&, Value) {
    state.*Member = true;
    return std::nullopt;
}
template <auto Group, auto Member>
Problem turnOnIn(ParseState& state, const OptionRow&, Value) {
    state.options.*Group.*Member = true;
    return std::nullopt;
}

// "vi (Vietnamese), vo (Volapük)": languages by tag and English name.
std::string languagesNamed(const std::vector<std::size_t>& indices) {
    std::string text;
    for (const auto index : indices) {
        const auto& language = coverage::languages()[index];
        text += (text.empty() ? "" : ", ") + std::string(language.tag) + " (" + std::string(language.name) + ")";
    }
    return text;
}

Problem addBlock(ParseState& state, const OptionRow&, Value word) {
    const auto row = coverage::findCoverageRow(*word);
    if (!row) {
        // A language is the more common question than a block.
        if (const auto language = coverage::findLanguage(*word)) {
            return "unknown block '" + std::string(*word) + "'; it names a language: --lang " +
                   std::string(coverage::languages()[*language].tag);
        }
        return "unknown block '" + std::string(*word) + "'; closest: " + closestBlocks(*word) + " (see --blocks)";
    }
    if (std::find(state.rows.begin(), state.rows.end(), *row) == state.rows.end()) state.rows.push_back(*row);
    return std::nullopt;
}

Problem addLanguages(ParseState& state, const OptionRow& row, Value list) {
    if (!list || list->empty()) return needs(row, "languages, as vi,pl or Vietnamese");
    for (const auto word : commaSeparated(*list)) {
        const auto language = coverage::findLanguage(word);
        if (!language) {
            return "unknown language '" + std::string(word) +
                   "'; closest: " + languagesNamed(coverage::closestLanguages(word, 3)) + " (see --langs)";
        }
        auto& languages = state.options.request.languages;
        if (std::find(languages.begin(), languages.end(), *language) == languages.end()) languages.push_back(*language);
    }
    return std::nullopt;
}

Problem setLanguageLevel(ParseState& state, const OptionRow& row, Value word) {
    constexpr std::pair<std::string_view, coverage::LanguageLevel> kLevels[] = {
        {"base", coverage::LanguageLevel::base}, {"auxiliary", coverage::LanguageLevel::auxiliary}};
    const auto level = choice(word, kLevels);
    if (!level) return needs(row, "base or auxiliary");
    state.options.request.level = *level;
    return std::nullopt;
}

Problem countDecomposed(ParseState& state, const OptionRow&, Value) {
    state.options.request.decomposed = coverage::DecomposedForms::counted;
    return std::nullopt;
}

Problem addFontsFolder(ParseState& state, const OptionRow& row, Value folder) {
    if (!folder) return needs(row, "a folder");
    if (folder->empty()) return needs(row, "a folder; it was given an empty name");
    state.options.sources.folders.emplace_back(*folder);
    return std::nullopt;
}

Problem addFontFile(ParseState& state, const OptionRow& row, Value file) {
    if (!file) return needs(row, "a font file");
    if (file->empty()) return needs(row, "a font file; it was given an empty name");
    state.options.sources.files.emplace_back(*file);
    return std::nullopt;
}

Problem setFormats(ParseState& state, const OptionRow& row, Value list) {
    const auto formats = list ? formatList(*list) : std::nullopt;
    if (!formats) return needs(row, "a list of formats among ttf, ttc, otf and otc, as ttf,otf");
    state.options.sources.formats = *formats;
    return std::nullopt;
}

Problem setNames(ParseState& state, const OptionRow& row, Value word) {
    const auto names = choice(word, kNameChoices);
    if (!names) return needs(row, "mac, windows or best");
    state.options.shown.names = *names;
    return std::nullopt;
}

Problem setMatch(ParseState& state, const OptionRow& row, Value word) {
    const auto match = choice(word, kMatchModes);
    if (!match) return needs(row, "declared, covered or both");
    state.options.request.match = *match;
    return std::nullopt;
}

Problem setMinimum(ParseState& state, const OptionRow& row, Value text) {
    const auto percent = text ? number(*text, 100) : std::nullopt;
    if (!percent) return needs(row, "a whole percentage from 0 to 100");
    state.options.request.minPercent = *percent;
    state.minimumGiven = true;
    return std::nullopt;
}

Problem setNear(ParseState& state, const OptionRow& row, Value text) {
    // A face that maps nothing misses every code point there is.
    const auto count = text ? number(*text, fontfile::kLastCodePoint + 1) : std::nullopt;
    if (!count) return needs(row, "a count of missing code points from 0 to 1114112, as --near 2");
    state.options.request.near = *count;
    return std::nullopt;
}

Problem setMissing(ParseState& state, const OptionRow&, Value text) {
    if (text == "all") {
        state.options.request.missingListed = kEveryMissing;
        return std::nullopt;
    }
    const auto count = text ? number(*text, 1u << 20) : std::optional<std::uint32_t>(kDefaultMissingListed);
    if (!count) return "--missing=N needs a count of code points to list, as --missing=32, or all";
    state.options.request.missingListed = *count;
    return std::nullopt;
}

Problem addCodePoints(ParseState& state, const OptionRow& row,
                      std::variant<std::vector<CodePointRange>, std::string> parsed) {
    if (const auto* why = std::get_if<std::string>(&parsed)) return std::string(row.name) + ": " + *why;
    const auto& runs = std::get<std::vector<CodePointRange>>(parsed);
    state.codePoints.insert(state.codePoints.end(), runs.begin(), runs.end());
    return std::nullopt;
}

constexpr const char* kNothingDrawn = ": the text holds no character that a font draws";

Problem addCharacters(ParseState& state, const OptionRow& row, Value text) {
    if (!text || text->empty()) return needs(row, "some text");
    auto parsed = codePointsOfText(*text);
    if (const auto* runs = std::get_if<std::vector<CodePointRange>>(&parsed); runs && runs->empty()) {
        return std::string(row.name) + kNothingDrawn;
    }
    return addCodePoints(state, row, std::move(parsed));
}

Problem addCharactersOfFile(ParseState& state, const OptionRow& row, Value path) {
    if (!path || path->empty()) return needs(row, "a file, or - for standard input");
    const auto bytes = readTextFile(*path);
    if (bytes.index() == 1)
        return std::string(row.name) + ": cannot read '" + std::string(*path) + "': " + std::get<1>(bytes);
    const auto text = decodeTextFile(std::get<0>(bytes));
    if (const auto* why = std::get_if<std::string>(&text)) return std::string(row.name) + ": " + *why;
    const auto runs = drawnCodePoints(std::get<std::u32string>(text));
    if (runs.empty()) return std::string(row.name) + kNothingDrawn;
    state.codePoints.insert(state.codePoints.end(), runs.begin(), runs.end());
    return std::nullopt;
}

Problem addCodePointList(ParseState& state, const OptionRow& row, Value list) {
    if (!list || list->empty()) return needs(row, "code points, as U+0041,U+0400-U+04FF");
    return addCodePoints(state, row, parseCodePoints(*list));
}

// ---- The table ----------------------------------------------------------------------

constexpr OptionRow kOptions[] = {
    {.name = "BLOCK",
     .value = ValueKind::word,
     .section = Section::listing,
     .help = "a block as --blocks prints it, letters in either case;\n"
             "quote names with blanks: \"Basic Latin\"",
     .apply = addBlock},
    {.name = "--blocks",
     .section = Section::listing,
     .help = "the 79 blocks of the block list: range bit and name;\n"
             "with --all also the bits it leaves out, as OpenType\n"
             "names them today (Phags-pa, Glagolitic, ...)",
     .synopsis = "--blocks [--all]",
     .apply = turnOn<&ParseState::blocks>},
    {.name = "--all", .section = Section::listing, .apply = turnOn<&ParseState::allBlocks>},

    {.name = "--fonts-dir",
     .value = ValueKind::required,
     .section = Section::fonts,
     .valueName = "DIR",
     .help = "read the fonts of DIR instead of the system's and the\n"
             "user's; may be given more than once",
     .apply = addFontsFolder},
    {.name = "--font",
     .value = ValueKind::required,
     .section = Section::fonts,
     .valueName = "FILE",
     .help = "read the font file FILE (every face of a collection)\n"
             "instead of the system's and the user's; may be given\n"
             "more than once, and with --fonts-dir",
     .apply = addFontFile},
    {.name = "--recursive",
     .aliases = "-r",
     .section = Section::fonts,
     .help = "read the subfolders of each --fonts-dir too",
     .synopsis = "-r, --recursive",
     .apply = turnOnIn<&QueryOptions::sources, &FontSources::recursive>},
    {.name = "--user-fonts",
     .section = Section::fonts,
     .help = "also read the per-user fonts (by default on Windows\n"
             "when no folder or file is named): the folder\n"
             "LOCALAPPDATA\\Microsoft\\Windows\\Fonts and, on Windows,\n"
             "the files registered under HKCU\\Software\\Microsoft\\\n"
             "Windows NT\\CurrentVersion\\Fonts",
     .apply = turnOnIn<&QueryOptions::sources, &FontSources::userFonts>},
    {.name = "--formats",
     .value = ValueKind::required,
     .section = Section::fonts,
     .valueName = "LIST",
     .help = "file kinds to read, of ttf, ttc, otf, otc (default\n"
             "all four); OpenType and CFF fonts read like the others",
     .apply = setFormats},
    {.name = "--all-members",
     .section = Section::fonts,
     .help = "every member of every collection (as by default)",
     .apply = turnOnIn<&QueryOptions::sources, &FontSources::allMembers>},
    {.name = "--program",
     .section = Section::fonts,
     .help = "the Windows program's answer, byte for byte but for\n"
             "control bytes: the fonts folder of the Windows\n"
             "directory (or one --fonts-dir), every *.ttf and the\n"
             "first 10 members of the first 50 *.ttc, Macintosh full\n"
             "names, the program's messages and exit codes; it takes\n"
             "blocks and nothing else",
     .apply = turnOnIn<&QueryOptions::sources, &FontSources::program>},

    {.name = "--coverage",
     .section = Section::coverage,
     .help = "after each line, per named block, a TAB and\n"
             "\"<block> <covered>/<total> declared|undeclared\": the\n"
             "block's assigned code points that the font maps; with\n"
             "no block named, every block the font declares or maps\n"
             "any of",
     .apply = turnOnIn<&QueryOptions::shown, &Presentation::coverageFields>},
    {.name = "--match",
     .value = ValueKind::required,
     .section = Section::coverage,
     .valueName = "declared|covered|both",
     .help = "declared (default): the range bits, as the program;\n"
             "covered: the character map covers at least --min\n"
             "percent of every named block; both: the two together",
     .apply = setMatch},
    {.name = "--min",
     .value = ValueKind::required,
     .section = Section::coverage,
     .valueName = "PCT",
     .help = "the percentage for covered (default 100)",
     .apply = setMinimum},
    {.name = "--near",
     .value = ValueKind::required,
     .section = Section::coverage,
     .valueName = "N",
     .help = "with covered or both, also the fonts that miss at most\n"
             "N code points in all; their lines end with a TAB and\n"
             "\"near: <n> missing\" (grep -P '\\tnear:' finds them)",
     .apply = setNear},
    {.name = "--missing",
     .value = ValueKind::optional,
     .section = Section::coverage,
     .valueName = "N",
     .help = "under each font, per block, a line that starts with a\n"
             "TAB: its first N missing code points (default 32, all\n"
             "with --missing=all), in runs as --codepoints takes them",
     .apply = setMissing},
    {.name = "--chars",
     .value = ValueKind::required,
     .section = Section::coverage,
     .valueName = "TEXT",
     .help = "only fonts whose character map holds every character\n"
             "but control and format characters (line breaks, tabs,\n"
             "ZWJ, ZWNJ, direction marks), which no font draws",
     .apply = addCharacters},
    {.name = "--chars-file",
     .value = ValueKind::required,
     .section = Section::coverage,
     .valueName = "FILE",
     .help = "the same for the text of FILE (- for standard input):\n"
             "UTF-8, or UTF-16 with a byte order mark",
     .apply = addCharactersOfFile},
    {.name = "--codepoints",
     .value = ValueKind::required,
     .section = Section::coverage,
     .valueName = "LIST",
     .help = "the same for code points: U+0041,U+0400-U+04FF or\n"
             "U+0041 U+0400-U+04FF, as --missing prints them",
     .apply = addCodePointList},
    {.name = "--lang",
     .value = ValueKind::required,
     .section = Section::coverage,
     .valueName = "LIST",
     .help = "only fonts that can write every language of LIST (CLDR\n"
             "@CLDR@): tags in either case, _ for - (vi,sr-Latn,pt_pt)\n"
             "or English names (Vietnamese); a language's characters\n"
             "are its exemplar set and their capitals, but for format\n"
             "characters; see --langs",
     .apply = addLanguages},
    {.name = "--lang-level",
     .value = ValueKind::required,
     .section = Section::coverage,
     .valueName = "base|auxiliary",
     .help = "base (default): the main exemplar set; auxiliary: with\n"
             "the auxiliary set too (loanwords, names)",
     .apply = setLanguageLevel},
    {.name = "--decomposed",
     .section = Section::coverage,
     .help = "a character also counts as covered when the font maps\n"
             "its canonical decomposition (a letter and combining\n"
             "marks); that assumes the font positions the marks,\n"
             "which the character map cannot tell",
     .apply = countDecomposed},
    {.name = "--languages",
     .section = Section::coverage,
     .help = "after each line, a TAB and \"languages: <n> <tag> ...\":\n"
             "every language the font can write",
     .apply = turnOnIn<&QueryOptions::request, &coverage::CoverageRequest::supportedLanguages>},
    {.name = "--cover",
     .section = Section::listing,
     .help = "instead of every font that matches, a small set that\n"
             "together cover the blocks, languages and characters\n"
             "asked for: one at a time, the font that adds the most\n"
             "not yet covered (on a tie: of a family already picked,\n"
             "then regular, then by name), its line ending in a TAB\n"
             "and \"adds <n>\"; then a TAB and \"not covered: ...\";\n"
             "with --shaping a font counts only for the scripts whose\n"
             "layout it declares",
     .apply = turnOnIn<&QueryOptions::shown, &Presentation::cover>},
    {.name = "--langs",
     .section = Section::listing,
     .help = "every language: its tag, English name, scripts and the\n"
             "number of code points it needs (at --lang-level)",
     .apply = turnOn<&ParseState::languageList>},
    {.name = "--shaping",
     .section = Section::coverage,
     .help = "only fonts whose OpenType layout declares what the\n"
             "scripts of the blocks, languages and characters asked\n"
             "for need: Arabic's and the other joining scripts'\n"
             "positional forms, the Indic scripts' basic forms and\n"
             "mark positioning, and GPOS mark for combining marks;\n"
             "under the script's tag a shaper would take, or DFLT.\n"
             "With --coverage, when the characters need any of it,\n"
             "each line tells a TAB and \"shaping: declared\" or\n"
             "\"shaping: missing <script>:<feature>,...\", with or\n"
             "without --shaping. A font that declares a feature may\n"
             "still shape wrong: this tells what it declares, not\n"
             "what it supports",
     .apply = turnOn<&ParseState::shaping>},
    {.name = "--audit",
     .section = Section::coverage,
     .help = "instead of the fonts, one line per finding: the line,\n"
             "then TAB-separated the kind (sparse: a declared block\n"
             "covered below 10%; undeclared: a block covered at least\n"
             "50% without its bit; Surrogates, bit 57, which any\n"
             "code point above U+FFFF earns: sparse with none,\n"
             "undeclared with one; reserved or changed: a bit set\n"
             "that the font's OS/2 version reserves or gives another\n"
             "meaning; shaping: a block of a script that needs\n"
             "shaping, covered at least 50%, whose layout does not\n"
             "declare what --shaping asks), the bit, the block and\n"
             "the detail; for every font, or for those listed when\n"
             "blocks or characters are named",
     .apply = turnOnIn<&QueryOptions::shown, &Presentation::audit>},

    {.name = "--layout",
     .section = Section::presentation,
     .help = "after each line, a TAB and \"GSUB <script>: <feature>\n"
             "...; <script>: ...\", then a TAB and the same for GPOS:\n"
             "each script of the table with the features its language\n"
             "systems reach (\"GSUB none\" for a font without one)",
     .apply = turnOnIn<&QueryOptions::shown, &Presentation::layout>},
    {.name = "--names",
     .value = ValueKind::required,
     .section = Section::presentation,
     .valueName = "mac|windows|best",
     .help = "best (default): the Windows full name (US English\n"
             "first), else the Macintosh one; windows: the Windows\n"
             "one; mac: the Macintosh one, raw, as the program shows\n"
             "it; best and windows in UTF-8",
     .apply = setNames},
    {.name = "--json",
     .section = Section::presentation,
     .help = "JSON Lines: one object per font, in the order of the\n"
             "lines, every string UTF-8; with --blocks, the blocks",
     .apply = turnOnIn<&QueryOptions::shown, &Presentation::json>},
    {.name = "--help",
     .aliases = "-h /?",
     .section = Section::presentation,
     .help = "print this text",
     .synopsis = "-h, --help, /?",
     .apply = turnOn<&ParseState::help>},
    {.name = "--version",
     .section = Section::presentation,
     .help = "print \"meldrove-query <version>\" and what it rests on",
     .apply = turnOn<&ParseState::version>},
};

// ---- The parser ---------------------------------------------------------------------

const OptionRow& wordRow() {
    static const OptionRow& row = *std::find_if(std::begin(kOptions), std::end(kOptions),
                                                [](const OptionRow& r) { return r.value == ValueKind::word; });
    return row;
}

bool spelledAs(const OptionRow& row, std::string_view name) {
    if (row.name == name) return true;
    for (auto rest = row.aliases; !rest.empty();) {
        const auto blank = rest.find(' ');
        if (rest.substr(0, blank) == name) return true;
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
    }
    return false;
}

const OptionRow* optionNamed(std::string_view name) {
    for (const auto& row : kOptions) {
        if (row.value != ValueKind::word && spelledAs(row, name)) return &row;
    }
    return nullptr;
}

class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    ParsedCommandLine run() {
        for (at_ = 0; at_ < args_.size(); ++at_) {
            if (auto problem = take(args_[at_])) return BadInput{*problem};
            if (state_.help) return ShowHelp{};
            if (state_.version) return ShowVersion{};
        }
        return checked();
    }

private:
    // One argument, and the next when it is the value of this one.
    Problem take(std::string_view arg) {
        // "/?" is an option only as a whole word, as Windows programs take it.
        const bool isOption = (arg.starts_with("-") && arg.size() > 1) || optionNamed(arg);
        if (!isOption) return wordRow().apply(state_, wordRow(), arg);
        const auto equals = arg.starts_with("--") ? arg.find('=') : std::string_view::npos;
        const auto name = arg.substr(0, equals);
        const auto* row = optionNamed(name);
        if (!row) return "unknown option '" + std::string(name) + "' (see --help)";
        state_.given.push_back(row);
        const Value attached = equals == std::string_view::npos ? Value() : arg.substr(equals + 1);
        switch (row->value) {
            case ValueKind::none:
                if (attached) return "option " + std::string(name) + " takes no value";
                return row->apply(state_, *row, std::nullopt);
            case ValueKind::optional:
                return row->apply(state_, *row, attached);
            case ValueKind::required:
                if (!attached && at_ + 1 < args_.size()) return row->apply(state_, *row, args_[++at_]);
                return row->apply(state_, *row, attached);
            case ValueKind::word:
                break;
        }
        return std::nullopt;
    }

    // The rules that span several options.
    ParsedCommandLine checked() {
        auto& options = state_.options;
        options.request.rows = std::move(state_.rows);
        options.request.codePoints = fontfile::sortedAndMerged(std::move(state_.codePoints));
        if (state_.blocks) {
            // Only --all and --json may go with --blocks.
            const bool alone = std::all_of(args_.begin(), args_.end(), [](const std::string& a) {
                return a == "--blocks" || a == "--all" || a == "--json";
            });
            if (!alone) return BadInput{"--blocks takes no other arguments but --all and --json"};
            return ShowBlocks{state_.allBlocks, options.shown.json};
        }
        if (state_.allBlocks) return BadInput{"--all goes with --blocks"};
        if (state_.languageList) {
            const bool alone =
                options.request.rows.empty() &&
                std::all_of(state_.given.begin(), state_.given.end(), [](const OptionRow* row) {
                    return row->name == "--langs" || row->name == "--json" || row->name == "--lang-level";
                });
            if (!alone) return BadInput{"--langs takes no other arguments but --json and --lang-level"};
            return ShowLanguages{options.request.level, options.shown.json};
        }
        if (const auto problem = notForTheProgram()) return BadInput{*problem};
        if (const auto problem = nothingToActOn()) return BadInput{*problem};
        if (options.sources.program) options.shown.names = NameChoice::mac;
        setShapingNeeds(options);
        // Counts beside each line with nothing named: every block the face
        // declares or maps any of.
        options.request.everyTouchedRow = options.shown.coverageFields && !somethingToMeasure();
        return options;
    }

    bool somethingToMeasure() const { return state_.options.request.measuresAnything(); }

    // What the characters asked for need of a layout: for --shaping, and for
    // the counts of --coverage when they need anything. A cover picks faces
    // for what they add, and counts each only for what it declares.
    void setShapingNeeds(QueryOptions& options) const {
        if (!state_.shaping && !(options.shown.coverageFields && somethingToMeasure())) return;
        auto needs = coverage::shapingNeedsOf(coverage::requestedCodePoints(options.request));
        if (!state_.shaping && needs.empty()) return;
        options.request.shaping = std::make_shared<const coverage::ShapingNeeds>(std::move(needs));
        options.request.shapingRequired = state_.shaping && !options.shown.cover;
    }

    bool given(std::string_view name) const {
        return std::any_of(state_.given.begin(), state_.given.end(),
                           [&](const OptionRow* row) { return row->name == name; });
    }

    // The program's answer is the program's alone: blocks, and the one
    // folder it reads.
    Problem notForTheProgram() const {
        if (!state_.options.sources.program) return std::nullopt;
        for (const auto* row : state_.given) {
            if (row->name == "--program" || row->name == "--fonts-dir") continue;
            return "--program gives the Windows program's answer: it takes blocks and one --fonts-dir, not " +
                   std::string(row->name);
        }
        if (state_.options.sources.folders.size() > 1) return std::string("--program reads one --fonts-dir, not more");
        return std::nullopt;
    }

    // An option that would change nothing is a mistake the user should hear of.
    Problem nothingToActOn() const {
        const auto& request = state_.options.request;
        const bool byCharacters = request.match != MatchMode::declared;
        if (request.near && !byCharacters) {
            return "--near counts missing characters: it needs --match covered or --match both";
        }
        if (state_.minimumGiven && !byCharacters) {
            return "--min is the percentage for --match covered or --match both: give one of them";
        }
        if (given("--lang-level") && request.languages.empty() && !request.supportedLanguages) {
            return "--lang-level is the level of --lang and --languages: give one of them";
        }
        if (const auto problem = notForACover()) return problem;
        if (somethingToMeasure()) return std::nullopt;
        constexpr const char* kWhat = " needs blocks, --lang, --chars or --codepoints to measure";
        if (state_.shaping) return std::string("--shaping") + kWhat;
        if (state_.options.shown.cover) return std::string("--cover") + kWhat;
        if (given("--decomposed")) return std::string("--decomposed") + kWhat;
        if (byCharacters)
            return std::string("--match ") + (request.match == MatchMode::covered ? "covered" : "both") + kWhat;
        if (request.missingListed) return std::string("--missing") + kWhat;
        return std::nullopt;
    }

    // A cover counts code points; matching and audits have no part in it.
    Problem notForACover() const {
        if (!state_.options.shown.cover) return std::nullopt;
        for (const auto* name : {"--match", "--min", "--near", "--audit"}) {
            if (given(name)) return std::string("--cover picks fonts by the code points they add: it takes no ") + name;
        }
        return std::nullopt;
    }

    const std::vector<std::string>& args_;
    std::size_t at_ = 0;
    ParseState state_;
};

// ---- The help -----------------------------------------------------------------------

constexpr std::string_view kIntroduction = R"(Usage: meldrove-query [OPTION ...] [BLOCK ...]
       meldrove-query --blocks [--all] [--json]
       meldrove-query --help | --version

Lists the fonts you have whose OS/2 Unicode ranges declare every named block
(every font without one), one line a font, sorted as the Windows program's
result list sorts them:
  <name>   (<file>)           a single-font file (three blanks)
  <name>  (<file>)            a member of a collection (two blanks)
Without options it reads every font you have: on Windows the fonts folder and
your own fonts; elsewhere the fonts folder of WINDIR when that is set, else
the system's font folders and their subfolders (on Linux ~/.local/share/fonts
or $XDG_DATA_HOME/fonts, ~/.fonts, /usr/local/share/fonts, /usr/share/fonts;
on macOS ~/Library/Fonts, /Library/Fonts, /System/Library/Fonts). It reads
every format and every member of a collection and shows the Windows names.
A file that is not a font, or is damaged, gets a note and the rest is read.
--program gives the Windows program's own answer instead.
)";

constexpr std::string_view kClosing = R"(
Names and file names are printed safely. On a line that holds one, a control
character (0x00-0x1F, DEL) and a byte that is not UTF-8 print as \xNN; a C1
control (U+0080-009F), U+2028, U+2029 or a bidi control (U+202A-202E,
U+2066-2069) as \u{XXXX}; and then a backslash as \\. Macintosh names (mac,
the program's answer) are raw bytes of their own encoding: only their control
bytes are escaped. Text is for people; JSON, which writes those characters as
\uXXXX, is the unambiguous form for scripts (its keys: docs/json.md).
Notes about files that are not fonts or are damaged go to standard error,
one line each, naming the file and the face.
Exit codes: 0 when a font is listed (with --audit: when nothing is found);
1 when none is (with --audit: findings); 2 bad input (an unknown block or
option, an option with nothing to act on, a fonts folder that cannot be
read), nothing printed on standard output; 3 when standard output could not
be written. A reader that closes the pipe early ends the run quietly. The
program's answer exits 0, or 255 when a font's table directory is cut off
before its name table (the engine's "Read failed on table #N").

Examples:
  Which of my fonts can write Vietnamese?
    meldrove-query --lang vi
  Which fonts can show this text, and what does each one miss?
    meldrove-query --chars-file notes.txt --match covered --near 5 --missing
  Which fonts of a folder tree declare Cyrillic, and how much do they map?
    meldrove-query --fonts-dir ~/fonts -r --coverage Cyrillic
  Which fonts declare what Arabic shaping needs, and which few set a text?
    meldrove-query --lang ar --shaping
    meldrove-query --chars-file notes.txt --cover --shaping
  Which fonts does the Windows program list for Greek and Cyrillic?
    meldrove-query --program Greek Cyrillic
)";

struct SectionText {
    Section section;
    std::string_view heading;  // empty for the first, which needs none
    std::string_view footer;
};

constexpr SectionText kSections[] = {
    {Section::listing, "", ""},
    {Section::fonts, "Which fonts:",
     "When more than one folder or file is read, or subfolders are, a line\n"
     "names its file by its full path.\n"},
    {Section::coverage, "What they cover (Unicode @UNICODE@, from each font's character map):", ""},
    {Section::presentation, "How they are shown:", ""},
};

// Where every row's help starts: a synopsis that reaches it puts its help on
// the next line.
constexpr std::size_t kHelpColumn = 21;
constexpr std::size_t kIndent = 2;

std::string synopsisOf(const OptionRow& row) {
    if (!row.synopsis.empty()) return std::string(row.synopsis);
    std::string text(row.name);
    if (row.value == ValueKind::required) text += " " + std::string(row.valueName);
    if (row.value == ValueKind::optional) text += "[=" + std::string(row.valueName) + "]";
    return text;
}

void appendRow(std::string& help, const OptionRow& row) {
    const auto synopsis = synopsisOf(row);
    help += std::string(kIndent, ' ') + synopsis;
    if (kIndent + synopsis.size() + 2 <= kHelpColumn) {
        help += std::string(kHelpColumn - kIndent - synopsis.size(), ' ');
    } else {
        help += "\n" + std::string(kHelpColumn, ' ');
    }
    for (auto rest = row.help;;) {
        const auto end = rest.find('\n');
        help += std::string(rest.substr(0, end)) + "\n";
        if (end == std::string_view::npos) break;
        rest.remove_prefix(end + 1);
        help += std::string(kHelpColumn, ' ');
    }
}

}  // namespace

std::span<const OptionRow> optionTable() { return kOptions; }

std::string helpText() {
    std::string help(kIntroduction);
    for (const auto& [section, heading, footer] : kSections) {
        help += "\n";
        if (!heading.empty()) help += std::string(heading) + "\n";
        for (const auto& row : kOptions) {
            if (row.section == section && !row.help.empty()) appendRow(help, row);
        }
        help += footer;
    }
    help += kClosing;
    const auto version = help.find("@UNICODE@");
    help.replace(version, std::string_view("@UNICODE@").size(), coverage::kUnicodeVersion);
    const auto cldr = help.find("@CLDR@");
    help.replace(cldr, std::string_view("@CLDR@").size(), coverage::kCldrVersion);
    return help;
}

bool QueryOptions::needsCharacterMaps() const {
    return request.needsCharacterMaps() || shown.coverageFields || shown.audit || shown.cover;
}

bool QueryOptions::needsLayoutTables() const { return request.needsLayoutTables() || shown.layout || shown.audit; }

std::variant<std::vector<CodePointRange>, std::string> parseCodePoints(std::string_view list) {
    std::vector<CodePointRange> runs;
    const auto items = wordsOf(list);
    if (items.empty()) return std::string("no code point in '") + std::string(list) + "'";
    for (const auto item : items) {
        const auto dash = item.find('-');
        const auto first = codePoint(item.substr(0, dash));
        const auto last = dash == std::string_view::npos ? first : codePoint(item.substr(dash + 1));
        if (!first || !last)
            return "'" + std::string(item) + "' is not a code point U+0000 to U+10FFFF, nor a range of two";
        if (*last < *first) return "'" + std::string(item) + "' is a range that ends before it starts";
        runs.push_back({*first, *last});
    }
    return fontfile::sortedAndMerged(std::move(runs));
}

std::variant<std::vector<CodePointRange>, std::string> codePointsOfText(std::string_view utf8) {
    const auto text = decodeUtf8(utf8);
    if (!text) return std::string("the text is not UTF-8");
    return drawnCodePoints(*text);
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) { return Parser(args).run(); }

}  // namespace query
