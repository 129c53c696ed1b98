// meldrove-query's answer: one record per listed face, built once from the
// catalog and the coverage request, in the order the program's result list
// shows their lines. The renderers (text_renderer.h, json_renderer.h) only
// show what a record holds.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "coverage/audit.h"
#include "coverage/face_coverage.h"
#include "fontfile/character_map.h"
#include "fontfile/sfnt.h"
#include "inventory/font_catalog.h"
#include "query/options.h"
#include "query/output.h"

namespace query {

// How a face's line names the face and its file.
struct Naming {
    NameChoice names = NameChoice::mac;
    bool fullPaths = false;  // a full path rather than the file name alone: more than one source was read
};

struct FaceAnswer {
    // Where the face is.
    std::string fileName;   // in UTF-8
    std::string directory;  // in UTF-8, with this system's separators
    inventory::FontFormat format = inventory::FontFormat::ttf;
    std::uint32_t member = 0;  // 0 for a single font

    // What its OS/2 table and name table say.
    std::optional<std::uint16_t> os2Version;
    fontfile::UnicodeRangeSet ranges{};
    std::optional<std::string> macName;      // raw Macintosh bytes, when it has such a name
    std::optional<std::string> windowsName;  // UTF-8, when read and found

    // The line: the program's "<name>   (<file>)" with the name chosen, in
    // `encoding`, raw; the renderers make it safe to print.
    std::string line;
    TextEncoding encoding = TextEncoding::ansi;
    std::string name;  // the name chosen, in UTF-8

    // What it covers of what was asked, when character maps were read.
    // The character map read, shared with the catalog's faces of its table
    // directory: which subtable gave it and which were passed over.
    std::shared_ptr<const fontfile::CharacterMap> characterMap;
    coverage::FaceCoverage coverage;
    // What its bits get wrong, when an audit was asked for.
    std::optional<std::vector<coverage::Finding>> findings;
    // What its GSUB and GPOS declare, when they were read; shared with the
    // catalog's faces of its table directory.
    std::shared_ptr<const fontfile::LayoutTables> layout;
    // In a cover: the code points it adds to those picked before it.
    std::optional<std::uint32_t> adds;
};

// A small set of faces that together cover what was asked for.
struct CoverAnswer {
    std::vector<FaceAnswer> faces;  // in the order picked, each with what it adds
    std::vector<char32_t> firstUncovered;
    std::uint32_t uncovered = 0;  // what no face read covers
};

// The answer for every listed face of `catalog`: the faces that match
// `request`, or miss it by at most its near count, in the result list's
// order of their lines; each with its findings when `audit` is asked.
std::vector<FaceAnswer> answerFaces(const inventory::FontCatalog& catalog, const coverage::CoverageRequest& request,
                                    const Naming& naming, bool audit);

// The faces of `catalog` that together cover every code point `request`
// asks for, picked greedily (coverage/cover.h); with shaping asked about, a
// face counts only for the scripts whose needs its layout declares. The
// first `listed` code points no face covers come with the answer.
CoverAnswer answerCover(const inventory::FontCatalog& catalog, const coverage::CoverageRequest& request,
                        const Naming& naming, std::size_t listed);

// The Windows program's own answer over `folder`, through its inventory and
// matching: the lines of the faces that declare every row of `rows`, in its
// result list's order, made safe to print.
void writeProgramsAnswer(const std::vector<std::size_t>& rows, const std::string& folder, Output& out);

// One line for standard error per character map of `catalog` that is
// damaged, or that was read from another subtable than the one preferred,
// naming the file and the face and saying which subtable was passed over and
// why; in catalog order, once for all the faces that share the map.
std::vector<std::string> damageNotes(const inventory::FontCatalog& catalog);

// "(3,10) format 12", or "(3,10)" when its format was never read.
std::string subtableName(std::uint16_t platformID, std::uint16_t encodingID, std::optional<std::uint16_t> format);

// What a face's character map is, as JSON names it ("unicode", "symbol",
// "no unicode", "none", "damaged"), and what a line says of a map that gives
// no Unicode coverage (empty for one that does).
std::string_view characterMapName(fontfile::CharacterMap::Outcome outcome);
std::string_view characterMapNote(fontfile::CharacterMap::Outcome outcome);

// A file's folder (as the catalog names it) and name as this system writes
// a path; the name alone for a file named without a folder.
std::string displayPath(const std::string& directory, const std::string& name);

}  // namespace query
