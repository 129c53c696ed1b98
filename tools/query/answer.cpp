#include "query/answer.h"

#include <unordered_map>
#include <utility>

#include "coverage/audit.h"
#include "coverage/cover.h"
#include "coverage/coverage_rows.h"
#include "inventory/font_inventory.h"
#include "query/text.h"
#include "selection/matching.h"
#include "selection/result_list.h"

namespace query {

namespace {

using fontfile::CharacterMap;
using inventory::CatalogFace;
using inventory::FontCatalog;

// The face's names, decoded once for the line and JSON alike, and the one
// its line shows.
void nameFace(const CatalogFace& face, NameChoice names, FaceAnswer& answer) {
    const auto mac = std::string(inventory::slotText(face.macName));
    if (face.hasMacName) answer.macName = mac;
    // The catalog reads a Windows name only when a line or JSON shows it.
    if (face.windowsName) answer.windowsName = utf8FromUtf16be(*face.windowsName);
    switch (names) {
        case NameChoice::mac:
            answer.line = mac;  // raw bytes, as the program shows them
            answer.encoding = TextEncoding::ansi;
            answer.name = utf8FromMacRoman(mac);
            return;
        case NameChoice::windows:
            answer.name = answer.windowsName.value_or(std::string());
            break;
        case NameChoice::best:
            answer.name = answer.windowsName ? *answer.windowsName : answer.macName ? utf8FromMacRoman(mac) : "";
            break;
    }
    answer.line = answer.name;
    answer.encoding = TextEncoding::utf8;
}

// The program's line: "<name>   (<file>)", two blanks for a member. The
// line's name is already in it; the file joins it in the same encoding.
void lineOf(const FontCatalog& catalog, const inventory::CatalogFile& file, const Naming& naming, FaceAnswer& answer) {
    const auto shown = naming.fullPaths ? displayPath(file.directory, file.name) : file.name;
    const auto shownFile = answer.encoding == TextEncoding::utf8 ? utf8FromCatalogName(shown, catalog.namesAreUtf8)
                                                                 : ansiFromCatalogName(shown, catalog.namesAreUtf8);
    answer.line = inventory::isCollection(answer.format) ? selection::memberLine(answer.line, shownFile)
                                                         : selection::singleFontLine(answer.line, shownFile);
}

FaceAnswer answerOf(const FontCatalog& catalog, const CatalogFace& face, coverage::FaceCoverage measured,
                    const Naming& naming) {
    const auto& file = catalog.files[face.file];
    FaceAnswer answer{.fileName = utf8FromCatalogName(file.name, catalog.namesAreUtf8),
                      .directory = utf8FromCatalogName(systemPath(file.directory), catalog.namesAreUtf8),
                      .format = file.format,
                      .member = face.member,
                      .os2Version = face.os2Version,
                      .ranges = face.ranges};
    nameFace(face, naming.names, answer);
    lineOf(catalog, file, naming, answer);
    answer.characterMap = face.characterMap;
    answer.layout = face.layout;
    answer.coverage = std::move(measured);
    return answer;
}

}  // namespace

std::string displayPath(const std::string& directory, const std::string& name) {
    // The file's name is left as it is: elsewhere than on Windows a
    // backslash may be part of it.
    return directory.empty() ? name : systemPath(directory + '\\') + name;
}

std::vector<FaceAnswer> answerFaces(const FontCatalog& catalog, const coverage::CoverageRequest& request,
                                    const Naming& naming, bool audit) {
    std::vector<FaceAnswer> chosen;
    for (const auto& face : catalog.faces) {
        auto measured = coverage::measureFace(request, face);
        if (!measured.shown()) continue;
        chosen.push_back(answerOf(catalog, face, std::move(measured), naming));
        if (audit) chosen.back().findings = coverage::auditFace(face);
    }
    std::vector<std::string> lines;
    lines.reserve(chosen.size());
    for (const auto& answer : chosen) lines.push_back(answer.line);
    std::vector<FaceAnswer> ordered;
    ordered.reserve(chosen.size());
    for (const auto at : selection::listBoxOrder(lines)) ordered.push_back(std::move(chosen[at]));
    return ordered;
}

namespace {

coverage::CoverCandidate candidateOf(const CatalogFace& face, const coverage::CoverageRequest& request,
                                     NameChoice names) {
    coverage::CoverCandidate candidate;
    const auto covered = coverage::coveredBy(face);
    if (request.shaping) {
        const auto unusable = coverage::unusableCodePoints(*request.shaping, fontfile::tablesOrNone(face.layout));
        candidate.usable = fontfile::withoutCodePoints(covered, unusable);
    } else {
        candidate.usable.assign(covered.begin(), covered.end());
    }
    FaceAnswer named;
    nameFace(face, names, named);
    candidate.name = named.name;
    candidate.family = coverage::familyOf(named.name);
    candidate.regular = face.style.weightClass == 400 && !face.style.italic;
    return candidate;
}

}  // namespace

CoverAnswer answerCover(const FontCatalog& catalog, const coverage::CoverageRequest& request, const Naming& naming,
                        std::size_t listed) {
    const auto wanted = coverage::requestedCodePoints(request);
    std::vector<coverage::CoverCandidate> candidates;
    candidates.reserve(catalog.faces.size());
    for (const auto& face : catalog.faces) candidates.push_back(candidateOf(face, request, naming.names));
    const auto cover = coverage::greedyCover(wanted, candidates);
    CoverAnswer answer;
    for (const auto& step : cover.steps) {
        const auto& face = catalog.faces[step.candidate];
        answer.faces.push_back(answerOf(catalog, face, coverage::measureFace(request, face), naming));
        answer.faces.back().adds = step.adds;
    }
    answer.uncovered = cover.uncoveredCount;
    answer.firstUncovered.resize(std::min<std::size_t>(listed, cover.uncoveredCount));
    answer.firstUncovered.resize(fontfile::findMissing(cover.uncovered, {}, answer.firstUncovered).listed);
    return answer;
}

void writeProgramsAnswer(const std::vector<std::size_t>& rows, const std::string& folder, Output& out) {
    inventory::buildInventory(inventory::fontInventory, folder);
    std::vector<std::int32_t> bits;
    for (const auto row : rows) bits.push_back(coverage::coverageRows()[row].rangeBit);
    selection::SortedLineList lines;
    selection::listMatchingFonts(inventory::fontInventory, bits, lines);
    inventory::releaseInventory();
    for (const auto& line : lines.lines()) out.line(safeLine(line, TextEncoding::ansi), TextEncoding::ansi);
}

std::string subtableName(std::uint16_t platformID, std::uint16_t encodingID, std::optional<std::uint16_t> format) {
    auto name = "(" + std::to_string(platformID) + "," + std::to_string(encodingID) + ")";
    if (format) name += " format " + std::to_string(*format);
    return name;
}

namespace {

// What a line of standard error says of a character map: why it is damaged,
// or which subtables it passed over; empty for one read as preferred.
std::string mapNote(const CharacterMap& map) {
    std::string passed;
    for (const auto& skipped : map.passedOver) {
        passed += (passed.empty() ? "" : ", ") + subtableName(skipped.platformID, skipped.encodingID, skipped.format) +
                  ": " + skipped.why;
    }
    if (map.outcome == CharacterMap::Outcome::damaged) {
        return "damaged character map (" +
               (passed.empty() ? std::string(map.damage ? map.damage : "unreadable") : passed) +
               "); counted as covering nothing";
    }
    if (passed.empty()) return {};
    return "character map subtable passed over (" + passed + "); read " +
           subtableName(map.platformID, map.encodingID, map.format) + " instead";
}

}  // namespace

std::vector<std::string> damageNotes(const FontCatalog& catalog) {
    std::vector<std::string> notes;
    // Members that name one table directory share its map: one note for all.
    std::unordered_map<const CharacterMap*, std::pair<std::size_t, std::size_t>> told;  // note, faces more
    for (const auto& face : catalog.faces) {
        if (!face.characterMap) continue;
        const auto [at, first] = told.try_emplace(face.characterMap.get(), notes.size(), 0);
        if (!first) {
            ++at->second.second;
            continue;
        }
        auto what = mapNote(*face.characterMap);
        if (what.empty()) {
            at->second.first = static_cast<std::size_t>(-1);  // nothing to say of it
            continue;
        }
        const auto& file = catalog.files[face.file];
        notes.push_back(
            "meldrove-query: " + utf8FromCatalogName(displayPath(file.directory, file.name), catalog.namesAreUtf8) +
            ", face " + std::to_string(face.member) + ": " + what);
    }
    for (const auto& [map, counted] : told) {
        const auto [note, more] = counted;
        if (note < notes.size() && more > 0) notes[note] += " (and " + std::to_string(more) + " more faces naming it)";
    }
    for (auto& note : notes) note = safeLine(note, TextEncoding::utf8);
    return notes;
}

namespace {

// What each outcome of reading a character map is called: in JSON, and on a
// line, where a map that gives Unicode coverage needs no word.
struct MapKind {
    CharacterMap::Outcome outcome;
    std::string_view json;
    std::string_view note;
};
constexpr MapKind kMapKinds[] = {
    {CharacterMap::Outcome::unicode, "unicode", ""},
    {CharacterMap::Outcome::symbolOnly, "symbol", "symbol font: no Unicode character map"},
    {CharacterMap::Outcome::noUnicodeSubtable, "no unicode", "no Unicode character map"},
    {CharacterMap::Outcome::noCmapTable, "none", "no character map"},
    {CharacterMap::Outcome::damaged, "damaged", "damaged character map"},
};

const MapKind& kindOf(CharacterMap::Outcome outcome) {
    for (const auto& kind : kMapKinds) {
        if (kind.outcome == outcome) return kind;
    }
    return kMapKinds[3];  // no character map
}

}  // namespace

std::string_view characterMapName(CharacterMap::Outcome outcome) { return kindOf(outcome).json; }

std::string_view characterMapNote(CharacterMap::Outcome outcome) { return kindOf(outcome).note; }

}  // namespace query
