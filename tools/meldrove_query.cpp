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
#include "query/text_renderer.h"

namespace {

using query::QueryOptions;

constexpr int kBadInput = 2;

int badInput(const std::string& message) {
    std::fprintf(stderr, "meldrove-query: %s\n", message.c_str());
    return kBadInput;
}

void writeAnswers(const std::vector<query::FaceAnswer>& answers, const query::Presentation& shown, query::Output& out) {
    for (const auto& answer : answers) {
        if (shown.audit) {
            shown.json ? query::writeFindingsJson(answer, out) : query::writeFindingsText(answer, out);
        } else if (shown.json) {
            query::writeFaceJson(answer, out);
        } else {
            query::writeFaceText(answer, {.coverageFields = shown.coverageFields}, out);
        }
    }
}

int answer(const QueryOptions& options, query::Output& out) {
    const auto sources = query::sourcesOf(options.sources);
    if (const auto* why = std::get_if<std::string>(&sources)) return badInput(*why);
    const auto& [folders, files, notes] = std::get<query::Sources>(sources);
    for (const auto& note : notes) std::fprintf(stderr, "meldrove-query: note: %s\n", note.c_str());

    fontfile::setDiagnosticStream(stderr);
    if (options.programsAnswer()) {
        query::writeProgramsAnswer(options.request.rows, folders.front(), out);
        return 0;
    }
    const auto catalog =
        inventory::buildCatalog({.folders = folders,
                                 .files = files,
                                 .formats = options.sources.formats,
                                 .everyMember = options.sources.allMembers,
                                 .everyCollectionFile = options.sources.allMembers,
                                 .windowsNames = options.shown.names != query::NameChoice::mac || options.shown.json,
                                 .characterMaps = options.needsCharacterMaps()});
    for (const auto& note : query::damageNotes(catalog)) std::fprintf(stderr, "%s\n", note.c_str());
    const query::Naming naming{.names = options.shown.names, .fullPaths = folders.size() + files.size() > 1};
    writeAnswers(query::answerFaces(catalog, options.request, naming, options.shown.audit), options.shown, out);
    return 0;
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
        return 0;
    }
    if (const auto* blocks = std::get_if<query::ShowBlocks>(&parsed)) {
        query::writeBlockList(*blocks, out);
        return 0;
    }
    return answer(std::get<QueryOptions>(parsed), out);
}
