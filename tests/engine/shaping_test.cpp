// Shaping readiness and covers: what the scripts of some characters need of
// a font's layout, which tag a shaper would read it under, what a font that
// lacks it can still be used for, the audit's shaping finding, and the
// greedy cover with its ties.
#include "coverage/shaping.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "coverage/audit.h"
#include "coverage/cover.h"

namespace {

using coverage::CoverCandidate;
using fontfile::CodePointRange;
using fontfile::LayoutScript;
using fontfile::LayoutTable;
using fontfile::LayoutTables;
using Strings = std::vector<std::string>;

fontfile::Tag tag(const std::string& text) {
    fontfile::Tag made{' ', ' ', ' ', ' '};
    for (std::size_t i = 0; i < text.size() && i < made.size(); ++i) made[i] = static_cast<std::uint8_t>(text[i]);
    return made;
}

// A table read from a font: script tag -> its features' union.
LayoutTable table(const std::map<std::string, Strings>& scripts) {
    LayoutTable made;
    made.outcome = LayoutTable::Outcome::read;
    for (const auto& [script, features] : scripts) {
        LayoutScript entry;
        entry.script = tag(script);
        for (const auto& feature : features) entry.features.push_back(tag(feature));
        std::sort(entry.features.begin(), entry.features.end());
        made.scripts.push_back(entry);
    }
    return made;
}

std::vector<CodePointRange> points(std::u32string text) {
    std::vector<CodePointRange> runs;
    for (const auto c : text) runs.push_back({c, c});
    return fontfile::sortedAndMerged(std::move(runs));
}

// "<script>:<table>:<feature>" for each need.
Strings needsOf(std::u32string text) {
    Strings out;
    const auto needs = coverage::shapingNeedsOf(points(text));
    for (const auto& need : needs.needs) {
        const auto scripts = coverage::shapingScripts();
        const std::string script = need.script < scripts.size() ? std::string(scripts[need.script].script) : "any";
        out.push_back(script + (need.table == coverage::LayoutTableKind::gsub ? ":GSUB:" : ":GPOS:") +
                      fontfile::printableTag(need.feature, fontfile::TagPadding::trimmed));
    }
    return out;
}

Strings missing(std::u32string text, const LayoutTables& layout) {
    Strings out;
    for (const auto& feature : coverage::undeclaredFeatures(coverage::shapingNeedsOf(points(text)), layout))
        out.push_back(coverage::featureName(feature));
    return out;
}

const std::u32string kArabic = U"\u0628\u0633\u0645";                        // بسم
const std::u32string kDevanagari = U"\u0928\u092E\u0938\u094D\u0924\u0947";  // नमस्ते, with a virama and a vowel sign
const std::u32string kYoruba = U"e\u0323\u0301";                             // ẹ́ written with combining marks

TEST(ShapingNeeds, EachScriptBringsItsFeaturesAndMarksNeedPositioning) {
    EXPECT_EQ(needsOf(kArabic), (Strings{"Arabic:GSUB:init", "Arabic:GSUB:medi", "Arabic:GSUB:fina"}));
    EXPECT_EQ(needsOf(kDevanagari), (Strings{"Devanagari:GSUB:akhn", "Devanagari:GSUB:rphf", "Devanagari:GSUB:blwf",
                                             "Devanagari:GSUB:half", "Devanagari:GPOS:abvm", "Devanagari:GPOS:blwm"}))
        << "Devanagari's own marks are positioned by abvm and blwm, not mark";
    EXPECT_EQ(needsOf(kYoruba), Strings{"Latin:GPOS:mark"}) << "inherited marks need mark under the letters' script";
    EXPECT_EQ(needsOf(U"\u0301"), Strings{"any:GPOS:mark"}) << "marks alone are looked for under any script";
    EXPECT_EQ(needsOf(U"\u05D1\u05B8"), Strings{"Hebrew:GPOS:mark"}) << "a mark of its own script";
    EXPECT_EQ(needsOf(U"\u0E01\u0E34"), Strings{"Thai:GPOS:mark"}) << "Thai names mark once, whether marks come or not";
    EXPECT_EQ(needsOf(U"Hello, \u043C\u0438\u0440"), Strings{}) << "Latin and Cyrillic letters need nothing";
    EXPECT_EQ(needsOf(U"\uFEB3\uFEE4"), Strings{}) << "presentation forms are shaped already";
    EXPECT_EQ(needsOf(U"a\uFE0F"), Strings{}) << "a variation selector is never positioned";
}

TEST(ShapingNeeds, AShaperReadsTheNewTagFirstThenTheOldThenDflt) {
    const LayoutTables both{table({{"dev2", {"akhn", "rphf", "blwf"}}, {"deva", {"akhn", "rphf", "blwf", "half"}}}),
                            table({{"dev2", {"abvm", "blwm"}}})};
    EXPECT_EQ(missing(kDevanagari, both), Strings{"dev2:half"}) << "deva is not read when dev2 is there";

    const LayoutTables oldOnly{table({{"deva", {"akhn", "rphf", "blwf", "half"}}}), table({{"deva", {"abvm"}}})};
    EXPECT_EQ(missing(kDevanagari, oldOnly), Strings{"deva:blwm"});

    const LayoutTables byDefault{table({{"DFLT", {"init", "medi", "fina"}}}), {}};
    EXPECT_EQ(missing(kArabic, byDefault), Strings{});
    const LayoutTables elsewhere{table({{"latn", {"init", "medi", "fina"}}}), {}};
    EXPECT_EQ(missing(kArabic, elsewhere), (Strings{"arab:init", "arab:medi", "arab:fina"}))
        << "another script's features are not the shaper's, and the missing ones are named by the script's tag";
    EXPECT_EQ(missing(kArabic, LayoutTables{}), (Strings{"arab:init", "arab:medi", "arab:fina"}));
}

TEST(ShapingNeeds, MarksNeedGposMarkWhereTheShaperLooks) {
    const LayoutTables kernOnly{{}, table({{"latn", {"kern"}}})};
    EXPECT_EQ(missing(kYoruba, kernOnly), Strings{"latn:mark"});
    const LayoutTables marked{{}, table({{"latn", {"kern", "mark", "mkmk"}}})};
    EXPECT_EQ(missing(kYoruba, marked), Strings{});
    EXPECT_EQ(missing(U"\u0301", LayoutTables{{}, table({{"cyrl", {"mark"}}})}), Strings{})
        << "a mark with nothing to sit on: any script's mark will do";
    EXPECT_EQ(missing(U"\u0301", kernOnly), Strings{"DFLT:mark"});
}

TEST(ShapingNeeds, AFontLackingAScriptsFeaturesCanStillBeUsedForTheOthers) {
    const auto needs = coverage::shapingNeedsOf(points(kArabic + kYoruba));
    const LayoutTables latinOnly{{}, table({{"latn", {"mark"}}})};
    const auto unusable = coverage::unusableCodePoints(needs, latinOnly);
    // Arabic lacks its forms: its letters go. The inherited marks sit on the
    // Latin letters, whose mark the font declares.
    EXPECT_EQ(unusable, (std::vector<CodePointRange>{{0x628, 0x628}, {0x633, 0x633}, {0x645, 0x645}}));
    EXPECT_EQ(needsOf(U"\u0628\u064E\u0301"),
              (Strings{"Arabic:GSUB:init", "Arabic:GSUB:medi", "Arabic:GSUB:fina", "Arabic:GPOS:mark"}))
        << "with no Latin, Greek or Cyrillic letter, inherited marks sit on the text's other script";
    const LayoutTables every{table({{"arab", {"init", "medi", "fina"}}}), table({{"DFLT", {"mark"}}})};
    EXPECT_TRUE(coverage::unusableCodePoints(needs, every).empty());
}

inventory::CatalogFace devanagariFace(std::shared_ptr<const LayoutTables> layout, char32_t last) {
    inventory::CatalogFace face;
    face.os2Version = 4;
    face.ranges[0] = 1u << 15;  // Devanagari
    fontfile::CharacterMap map;
    map.outcome = fontfile::CharacterMap::Outcome::unicode;
    map.covered = {{0x900, last}};
    face.characterMap = std::make_shared<const fontfile::CharacterMap>(std::move(map));
    face.layout = std::move(layout);
    return face;
}

TEST(ShapingAudit, ACoveredBlockOfAShapedScriptNeedsItsLayout) {
    const auto bare = std::make_shared<const LayoutTables>();
    const auto findings = coverage::auditFace(devanagariFace(bare, 0x97F));
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(coverage::findingName(findings[0].kind), "shaping");
    EXPECT_EQ(findings[0].bit, 15);
    EXPECT_EQ(findings[0].detail,
              "128/128 covered; undeclared dev2:akhn,dev2:rphf,dev2:blwf,dev2:half,dev2:abvm,dev2:blwm");

    const auto ready = std::make_shared<const LayoutTables>(
        LayoutTables{table({{"dev2", {"akhn", "rphf", "blwf", "half"}}}), table({{"dev2", {"abvm", "blwm"}}})});
    EXPECT_TRUE(coverage::auditFace(devanagariFace(ready, 0x97F)).empty());
    EXPECT_TRUE(coverage::auditFace(devanagariFace(bare, 0x920)).empty())
        << "33 of 128: a face that covers less than half of the block is not meant to set it";
    EXPECT_TRUE(coverage::auditFace(devanagariFace(nullptr, 0x97F)).empty()) << "a layout never read is not judged";
}

CoverCandidate candidate(std::vector<CodePointRange> usable, std::string name, bool regular = true) {
    return {.usable = std::move(usable), .family = coverage::familyOf(name), .regular = regular, .name = name};
}

// The names picked, each with what it adds.
Strings picked(std::vector<CodePointRange> wanted, const std::vector<CoverCandidate>& candidates) {
    Strings out;
    const auto cover = coverage::greedyCover(wanted, candidates);
    for (const auto& step : cover.steps)
        out.push_back(candidates[step.candidate].name + " +" + std::to_string(step.adds));
    out.push_back("left " + std::to_string(cover.uncoveredCount));
    return out;
}

TEST(Cover, EachStepTakesTheFaceThatAddsTheMost) {
    // The widest face first; then the one that adds most to it, though it is
    // the smaller of the two left.
    const std::vector<CoverCandidate> faces{candidate({{1, 6}}, "Six"), candidate({{1, 10}}, "Ten"),
                                            candidate({{8, 14}}, "Seven"), candidate({{11, 13}}, "Three")};
    EXPECT_EQ(picked({{1, 14}, {20, 21}}, faces), (Strings{"Ten +10", "Seven +4", "left 2"}));
    EXPECT_EQ(coverage::greedyCover(std::vector<CodePointRange>{{1, 14}, {20, 21}}, faces).uncovered,
              (std::vector<CodePointRange>{{20, 21}}));
    EXPECT_EQ(picked({}, faces), Strings{"left 0"});
    EXPECT_EQ(picked({{1, 3}}, {}), Strings{"left 3"});
}

TEST(Cover, TiesGoToThePickedFamilyThenTheRegularStyleThenTheName) {
    const std::vector<CoverCandidate> family{candidate({{1, 10}}, "Sans"), candidate({{11, 12}}, "Alpha Serif"),
                                             candidate({{11, 12}}, "Sans Bold", false)};
    EXPECT_EQ(picked({{1, 12}}, family), (Strings{"Sans +10", "Sans Bold +2", "left 0"}))
        << "the family already picked beats the earlier name and the regular style";

    const std::vector<CoverCandidate> styles{candidate({{1, 4}}, "Face Bold", false),
                                             candidate({{1, 4}}, "Face Light", false),
                                             candidate({{1, 4}}, "Zed Regular")};
    EXPECT_EQ(picked({{1, 4}}, styles), (Strings{"Zed Regular +4", "left 0"}));

    const std::vector<CoverCandidate> names{candidate({{1, 4}}, "Beta"), candidate({{1, 4}}, "Alpha")};
    EXPECT_EQ(picked({{1, 4}}, names), (Strings{"Alpha +4", "left 0"}));
}

TEST(Cover, AFamilyIsTheNameLessItsStyleWords) {
    EXPECT_EQ(coverage::familyOf("Noto Sans Bold Italic"), "Noto Sans");
    EXPECT_EQ(coverage::familyOf("DejaVu Sans Condensed"), "DejaVu Sans Condensed");
    EXPECT_EQ(coverage::familyOf("Source Serif SemiBold"), "Source Serif");
    EXPECT_EQ(coverage::familyOf("Bold"), "Bold") << "a name that is only a style word stays";
    EXPECT_EQ(coverage::familyOf("Boldface"), "Boldface");
}

}  // namespace
