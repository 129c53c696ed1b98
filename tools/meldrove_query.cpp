// meldrove-query: the engine from a terminal. By default it prints the
// Windows program's answer, line for line: the fonts of the fonts folder whose
// OS/2 Unicode ranges declare every named block, in the order the result
// list shows them. Its options read more fonts (per-user ones, OpenType
// files, every collection member), show real names, measure each font's
// character map against the blocks, and write JSON Lines.
//
// This file only connects the pieces of tools/query: the command line, the
// sources, the catalog, the answers and their renderers.
#include <cstdio>
#include <string>
#include <variant>
#include <vector>

#include "fontfile/diagnostics.h"
#include "inventory/font_catalog.h"
#include "query/answer.h"
#include "query/block_list.h"
#include "query/json_renderer.h"
#include "query/options.h"
#include "query/output.h"
#include "query/sources.h"
#include "query/text.h"
#include "query/text_renderer.h"
#include "query/version.h"

namespace {

using query::QueryOptions;

// Exit codes: as grep has them, and one of our own for lost output.
constexpr int kListed = 0;         // at least one font listed; an audit that found nothing
constexpr int kNothingListed = 1;  // nothing matched; an audit's findings
constexpr int kBadInput = 2;
constexpr int kOutputLost = 3;  // standard output could not be written

int badInput(const std::string& message) {
    query::writeDiagnostic("meldrove-query: " + query::safeLine(message, query::TextEncoding::utf8));
    return kBadInput;
}

// Whatever the answer was, output that could not be written fails the run;
// a reader that went away (head) only ends it early, quietly.
int finished(query::Output& out, int code) {
    out.flush();
    if (out.outcome() != query::WriteOutcome::failed) return code;
    query::writeDiagnostic("meldrove-query: standard output could not be written");
    return kOutputLost;
}

// The answers, and whether the run found what it looked for: a font to
// list, or with --audit none of the findings.
int writeAnswers(const std::vector<query::FaceAnswer>& answers, const query::Presentation& shown, query::Output& out) {
    bool findings = false;
    for (const auto& answer : answers) {
        if (shown.audit) {
            findings = findings || !answer.findings->empty();
            shown.json ? query::writeFindingsJson(answer, out) : query::writeFindingsText(answer, out);
        } else if (shown.json) {
            query::writeFaceJson(answer, shown.layout, out);
        } else {
            query::writeFaceText(answer, {.coverageFields = shown.coverageFields, .layout = shown.layout}, out);
        }
    }
    if (shown.audit) return findings ? kNothingListed : kListed;
    return answers.empty() ? kNothingListed : kListed;
}

// A cover, and whether it found a face to list.
int writeCover(const inventory::FontCatalog& catalog, const QueryOptions& options, const query::Naming& naming,
               query::Output& out) {
    const auto listed = options.request.missingListed.value_or(query::kDefaultMissingListed);
    const auto cover = query::answerCover(catalog, options.request, naming, listed);
    const auto& shown = options.shown;
    if (shown.json) {
        query::writeCoverJson(cover, shown.layout, out);
    } else {
        query::writeCoverText(cover, {.coverageFields = shown.coverageFields, .layout = shown.layout}, out);
    }
    return cover.faces.empty() ? kNothingListed : kListed;
}

int programsAnswer(const QueryOptions& options, query::Output& out) {
    const auto folder = query::programsFolder(options.sources);
    if (folder.index() == 1) return badInput(std::get<1>(folder));
    fontfile::setDiagnosticStream(stderr);
    // The program's exit codes: 0, or -1 from inside the reading.
    query::writeProgramsAnswer(options.request.rows, std::get<0>(folder), out);
    return finished(out, kListed);
}

int answer(const QueryOptions& options, query::Output& out) {
    if (options.sources.program) return programsAnswer(options, out);
    const auto found = query::catalogSources(options.sources);
    if (const auto* why = std::get_if<std::string>(&found)) return badInput(*why);
    const auto& sources = std::get<query::CatalogSources>(found);
    for (const auto& note : sources.notes) query::writeDiagnostic("meldrove-query: note: " + note);

    const auto catalog =
        inventory::buildCatalog({.folders = sources.folders,
                                 .files = sources.files,
                                 .formats = options.sources.formats,
                                 .everyMember = options.sources.allMembers,
                                 .everyCollectionFile = options.sources.allMembers,
                                 .windowsNames = options.shown.names != query::NameChoice::mac || options.shown.json,
                                 .characterMaps = options.needsCharacterMaps(),
                                 .layoutTables = options.needsLayoutTables()});
    for (const auto& note : catalog.notes) {
        if (const auto line = query::noteLine(note, sources); !line.empty()) query::writeDiagnostic(line);
    }
    for (const auto& note : query::damageNotes(catalog)) query::writeDiagnostic(note);
    const query::Naming naming{.names = options.shown.names, .fullPaths = sources.namesByPath()};
    if (options.shown.cover) return finished(out, writeCover(catalog, options, naming, out));
    const auto answers = query::answerFaces(catalog, options.request, naming, options.shown.audit);
    return finished(out, writeAnswers(answers, options.shown, out));
}

}  // namespace

int main(int argc, char** argv) {
    auto arguments = query::utf8Arguments(argc, argv);
    if (!arguments.empty()) arguments.erase(arguments.begin());
    auto& out = query::standardOutput();
    const auto parsed = query::parseCommandLine(arguments);
    if (const auto* bad = std::get_if<query::BadInput>(&parsed)) return badInput(bad->message);
    if (std::holds_alternative<query::ShowHelp>(parsed)) {
        out.write(query::helpText(), query::TextEncoding::bytes);
        return finished(out, kListed);
    }
    if (std::holds_alternative<query::ShowVersion>(parsed)) {
        out.write(query::versionText(), query::TextEncoding::bytes);
        return finished(out, kListed);
    }
    if (const auto* languages = std::get_if<query::ShowLanguages>(&parsed)) {
        query::writeLanguageList(*languages, out);
        return finished(out, kListed);
    }
    if (const auto* blocks = std::get_if<query::ShowBlocks>(&parsed)) {
        query::writeBlockList(*blocks, out);
        return finished(out, kListed);
    }
    return answer(std::get<QueryOptions>(parsed), out);
}
