#include "query/options.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <utility>

#include "platform/ascii.h"
#include "query/text.h"
#include "selection/coverage_rows.h"

namespace query {

namespace {

using fontfile::CodePointRange;

std::string lowered(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), platform::toLowerAscii);
    return out;
}

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The three row names nearest to `name`, nearest first.
std::string closestBlocks(std::string_view name) {
    const auto rows = selection::coverageRows();
    std::vector<std::pair<std::size_t, std::size_t>> ranked;
    const auto wanted = lowered(name);
    for (std::size_t row = 0; row < rows.size(); ++row)
        ranked.emplace_back(editDistance(wanted, lowered(rows[row].name)), row);
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
std::optional<T> choice(std::optional<std::string_view> word, const std::pair<std::string_view, T> (&table)[N]) {
    for (const auto& [name, value] : table) {
        if (word == name) return value;
    }
    return std::nullopt;
}

constexpr std::pair<std::string_view, NameChoice> kNameChoices[] = {
    {"mac", NameChoice::mac}, {"windows", NameChoice::windows}, {"best", NameChoice::best}};
constexpr std::pair<std::string_view, MatchMode> kMatchModes[] = {
    {"declared", MatchMode::declared}, {"covered", MatchMode::covered}, {"both", MatchMode::both}};

// Walks the arguments; each option's handler takes its value, if any.
class Parser {
public:
    explicit Parser(const std::vector<std::string>& args) : args_(args) {}

    ParsedCommandLine run() {
        std::vector<std::size_t> rows;
        for (at_ = 0; at_ < args_.size(); ++at_) {
            const std::string_view arg = args_[at_];
            if (arg == "--help" || arg == "-h") return ShowHelp{};
            if (arg == "--version") return ShowVersion{};
            if (arg == "--blocks") {
                blocks_ = true;
            } else if (arg.starts_with("--")) {
                if (auto problem = option(arg)) return BadInput{*problem};
            } else if (arg.starts_with("-") && arg.size() > 1) {
                return BadInput{"unknown option '" + std::string(arg) + "' (see --help)"};
            } else if (const auto row = selection::findCoverageRow(arg)) {
                if (std::find(rows.begin(), rows.end(), *row) == rows.end()) rows.push_back(*row);
            } else {
                return BadInput{"unknown block '" + std::string(arg) + "'; closest: " + closestBlocks(arg) +
                                " (see --blocks)"};
            }
        }
        options_.rows = std::move(rows);
        options_.codePoints = fontfile::sortedAndMerged(std::move(codePoints_));
        if (blocks_) return blocksListing();
        if (allBlocks_) return BadInput{"--all goes with --blocks"};
        if (options_.near && options_.match == MatchMode::declared) {
            return BadInput{"--near counts missing characters: it needs --match covered or --match both"};
        }
        return options_;
    }

private:
    ParsedCommandLine blocksListing() const {
        // Only --all and --json may go with --blocks.
        const bool alone = std::all_of(args_.begin(), args_.end(), [](const std::string& a) {
            return a == "--blocks" || a == "--all" || a == "--json";
        });
        if (!alone) return BadInput{"--blocks takes no other arguments but --all and --json"};
        return ShowBlocks{allBlocks_, options_.json};
    }

    // The value of an option: after "=" in the same argument, or the next one.
    std::optional<std::string_view> value(std::string_view arg) {
        const auto equals = arg.find('=');
        if (equals != std::string_view::npos) return arg.substr(equals + 1);
        if (at_ + 1 == args_.size()) return std::nullopt;
        return std::string_view(args_[++at_]);
    }

    // The switch an option without a value turns on; nothing for another.
    bool* flag(std::string_view name) {
        static constexpr std::pair<std::string_view, bool QueryOptions::*> kFlags[] = {
            {"--user-fonts", &QueryOptions::userFonts},
            {"--all-members", &QueryOptions::allMembers},
            {"--json", &QueryOptions::json},
            {"--coverage", &QueryOptions::coverage},
            {"--audit", &QueryOptions::audit},
        };
        if (name == "--all") return &allBlocks_;
        for (const auto& [flagName, member] : kFlags) {
            if (flagName == name) return &(options_.*member);
        }
        return nullptr;
    }

    std::optional<std::string> option(std::string_view arg) {
        const auto name = arg.substr(0, arg.find('='));
        const bool hasValue = name.size() != arg.size();
        if (auto* const on = flag(name)) {
            if (hasValue) return "option " + std::string(name) + " takes no value";
            *on = true;
            return std::nullopt;
        }
        if (name == "--missing") {
            options_.missing = kDefaultMissingListed;
            if (!hasValue) return std::nullopt;
            const auto count = number(arg.substr(arg.find('=') + 1), 1u << 20);
            if (!count) return "--missing=N needs a count of code points to list, as --missing=32";
            options_.missing = *count;
            return std::nullopt;
        }
        const auto text = value(arg);
        const auto needs = [&](const char* what) { return std::string(name) + " needs " + what; };
        if (name == "--fonts-dir") {
            if (!text) return needs("a folder");
            if (text->empty()) return needs("a folder; it was given an empty name");
            options_.fontsFolders.emplace_back(*text);
        } else if (name == "--formats") {
            const auto formats = text ? formatList(*text) : std::nullopt;
            if (!formats) return needs("a list of formats among ttf, ttc, otf and otc, as ttf,otf");
            options_.formats = *formats;
        } else if (name == "--names") {
            const auto names = choice(text, kNameChoices);
            if (!names) return needs("mac, windows or best");
            options_.names = *names;
        } else if (name == "--match") {
            const auto match = choice(text, kMatchModes);
            if (!match) return needs("declared, covered or both");
            options_.match = *match;
        } else if (name == "--min") {
            const auto percent = text ? number(*text, 100) : std::nullopt;
            if (!percent) return needs("a whole percentage from 0 to 100");
            options_.minPercent = *percent;
        } else if (name == "--near") {
            const auto count = text ? number(*text, fontfile::kLastCodePoint) : std::nullopt;
            if (!count) return needs("a count of missing code points, as --near 2");
            options_.near = *count;
        } else if (name == "--chars") {
            if (!text || text->empty()) return needs("some text");
            return addCodePoints(codePointsOfText(*text), "--chars");
        } else if (name == "--codepoints") {
            if (!text || text->empty()) return needs("code points, as U+0041,U+0400-U+04FF");
            return addCodePoints(parseCodePoints(*text), "--codepoints");
        } else {
            return "unknown option '" + std::string(name) + "' (see --help)";
        }
        return std::nullopt;
    }

    std::optional<std::string> addCodePoints(std::variant<std::vector<CodePointRange>, std::string> parsed,
                                             const char* option) {
        if (const auto* why = std::get_if<std::string>(&parsed)) return std::string(option) + ": " + *why;
        const auto& runs = std::get<std::vector<CodePointRange>>(parsed);
        codePoints_.insert(codePoints_.end(), runs.begin(), runs.end());
        return std::nullopt;
    }

    const std::vector<std::string>& args_;
    std::size_t at_ = 0;
    QueryOptions options_;
    std::vector<CodePointRange> codePoints_;
    bool blocks_ = false;
    bool allBlocks_ = false;
};

}  // namespace

bool QueryOptions::programsAnswer() const {
    const bool programsFormats = formats == std::vector{inventory::FontFormat::ttf, inventory::FontFormat::ttc} ||
                                 formats == std::vector{inventory::FontFormat::ttc, inventory::FontFormat::ttf};
    return fontsFolders.size() <= 1 && !userFonts && programsFormats && !allMembers && names == NameChoice::mac &&
           !json && !needsCharacterMaps();
}

bool QueryOptions::needsCharacterMaps() const {
    return coverage || match != MatchMode::declared || near || missing || audit || !codePoints.empty();
}

std::variant<std::vector<CodePointRange>, std::string> parseCodePoints(std::string_view list) {
    std::vector<CodePointRange> runs;
    for (const auto item : commaSeparated(list)) {
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
    std::vector<CodePointRange> runs;
    for (const auto codePoint : *text) runs.push_back({codePoint, codePoint});
    return fontfile::sortedAndMerged(std::move(runs));
}

ParsedCommandLine parseCommandLine(const std::vector<std::string>& args) { return Parser(args).run(); }

}  // namespace query
