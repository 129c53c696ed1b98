#include "query/text_renderer.h"

#include <array>
#include <cstdio>

#include "coverage/coverage_rows.h"
#include "coverage/languages.h"
#include "query/text.h"

namespace query {

namespace {

std::string rowName(std::size_t row) { return std::string(coverage::coverageRows()[row].name); }
std::string languageTag(std::size_t language) { return std::string(coverage::languages()[language].tag); }

// "\tlanguages: <n> <tag> <tag> ...": what --languages adds to a line.
std::string supportedField(const std::vector<std::size_t>& supported) {
    std::string text = "\tlanguages: " + std::to_string(supported.size());
    for (const auto language : supported) text += " " + languageTag(language);
    return text;
}

std::string codePointText(char32_t codePoint) {
    std::array<char, 16> text{};
    std::snprintf(text.data(), text.size(), "U+%04X", static_cast<unsigned>(codePoint));
    return text.data();
}

// "<count> missing: <runs of the first missing> ... and N more", or "none
// missing". The runs read as --codepoints takes them: U+0460-U+0469 U+04FF.
std::string missingText(const std::vector<char32_t>& first, std::uint32_t total) {
    if (total == 0) return "none missing";
    std::string text = std::to_string(total) + " missing:";
    for (std::size_t i = 0; i < first.size();) {
        auto last = i;
        while (last + 1 < first.size() && first[last + 1] == first[last] + 1) ++last;
        text += " " + codePointText(first[i]);
        if (last > i) text += "-" + codePointText(first[last]);
        i = last + 1;
    }
    if (total > first.size()) text += " and " + std::to_string(total - first.size()) + " more";
    return text;
}

std::string featureList(const fontfile::TagSet& features) {
    if (features.empty()) return "(no features)";
    std::string text;
    for (const auto& feature : features)
        text += (text.empty() ? "" : " ") + fontfile::printableTag(feature, fontfile::TagPadding::trimmed);
    return text;
}

// "\tGSUB DFLT: ccmp liga; latn: ccmp liga": what --layout adds for a table.
std::string layoutField(std::string_view name, const fontfile::LayoutTable& table) {
    std::string text = "\t" + std::string(name);
    if (table.outcome != fontfile::LayoutTable::Outcome::read) return text + " none";
    if (table.scripts.empty()) return text + " (no scripts)";
    for (std::size_t i = 0; i < table.scripts.size(); ++i) {
        const auto& script = table.scripts[i];
        text += (i ? "; " : " ") + fontfile::printableTag(script.script, fontfile::TagPadding::trimmed) + ": " +
                featureList(script.features);
    }
    return text;
}

// "\tshaping: declared", or "\tshaping: missing arab:init,arab:medi".
std::string shapingField(const std::vector<coverage::MissingFeature>& missing) {
    if (missing.empty()) return "\tshaping: declared";
    std::string text = "\tshaping: missing ";
    for (std::size_t i = 0; i < missing.size(); ++i) text += (i ? "," : "") + coverage::featureName(missing[i]);
    return text;
}

std::string coverageFields(const FaceAnswer& answer) {
    std::string text;
    for (const auto& block : answer.coverage.blocks) {
        text += "\t" + rowName(block.row) + " " + std::to_string(block.covered) + "/" + std::to_string(block.total) +
                (block.declared ? " declared" : " undeclared");
    }
    for (const auto& language : answer.coverage.languages) {
        text += "\t" + languageTag(language.language) + " " + std::to_string(language.covered) + "/" +
                std::to_string(language.total);
    }
    if (const auto& points = answer.coverage.codePoints) {
        text += "\tcode points " + std::to_string(points->covered) + "/" + std::to_string(points->total);
    }
    if (const auto& shaping = answer.coverage.undeclaredShaping) text += shapingField(*shaping);
    if (answer.characterMap) {
        const auto note = characterMapNote(answer.characterMap->outcome);
        if (!note.empty()) text += "\t" + std::string(note);
    }
    return text;
}

}  // namespace

void writeFaceText(const FaceAnswer& answer, const TextSettings& settings, Output& out) {
    const auto& measured = answer.coverage;
    std::string text = safeLine(answer.line, answer.encoding);
    if (measured.near.value_or(false)) text += "\tnear: " + std::to_string(measured.missing) + " missing";
    if (settings.coverageFields) text += coverageFields(answer);
    if (measured.supportedLanguages) text += supportedField(*measured.supportedLanguages);
    if (settings.layout) {
        const auto& layout = fontfile::tablesOrNone(answer.layout);
        text += layoutField("GSUB", layout.gsub) + layoutField("GPOS", layout.gpos);
    }
    if (answer.adds) text += "\tadds " + std::to_string(*answer.adds);
    out.line(text, answer.encoding);
    // ASCII, written as the face's line is: a change of encoding would cost
    // the output a write of its own.
    for (const auto& block : measured.blocks) {
        if (block.firstMissing) {
            out.line("\t" + rowName(block.row) + ": " + missingText(*block.firstMissing, block.missing()),
                     answer.encoding);
        }
    }
    for (const auto& language : measured.languages) {
        if (language.firstMissing) {
            out.line(
                "\t" + languageTag(language.language) + ": " + missingText(*language.firstMissing, language.missing()),
                answer.encoding);
        }
    }
    if (measured.codePoints && measured.codePoints->firstMissing) {
        out.line("\tcode points: " + missingText(*measured.codePoints->firstMissing, measured.codePoints->missing()),
                 answer.encoding);
    }
}

void writeCoverText(const CoverAnswer& cover, const TextSettings& settings, Output& out) {
    for (const auto& face : cover.faces) writeFaceText(face, settings, out);
    const auto what = cover.uncovered == 0 ? std::string("none") : missingText(cover.firstUncovered, cover.uncovered);
    out.line("\tnot covered: " + what, TextEncoding::utf8);
}

void writeFindingsText(const FaceAnswer& answer, Output& out) {
    if (!answer.findings) return;
    const auto shown = safeLine(answer.line, answer.encoding);
    for (const auto& finding : *answer.findings) {
        out.line(shown + "\t" + std::string(coverage::findingName(finding.kind)) + "\t" + std::to_string(finding.bit) +
                     "\t" + finding.block + "\t" + finding.detail,
                 answer.encoding);
    }
}

}  // namespace query
