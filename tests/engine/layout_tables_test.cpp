#include "fontfile/layout_tables.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine_test_helpers.h"
#include "font_writer.h"
#include "reader_checks.h"

namespace {

using fontfile::LayoutTable;
using fontfile::LayoutTables;
using fontfile::MemorySource;
using fontfile::Tag;
using Outcome = LayoutTable::Outcome;
using Lines = std::vector<std::string>;
using namespace testfonts;

Tag tag(const std::string& text) {
    Tag made{};
    if (text.size() != made.size()) throw std::invalid_argument("a tag has four characters");
    for (std::size_t i = 0; i < made.size(); ++i) made[i] = static_cast<std::uint8_t>(text[i]);
    return made;
}

// Each tag after a space.
std::string spaced(std::span<const Tag> tags) {
    std::string out;
    for (const auto& t : tags) out += " " + fontfile::tagText(t);
    return out;
}

// One line a script: its tag and union, then its default's features and
// each language's, in the order the table gives them.
Lines describe(const LayoutTable& table) {
    Lines lines;
    for (const auto& script : table.scripts) {
        auto line = fontfile::tagText(script.script) + ":" + spaced(script.features);
        if (script.defaultFeatures) line += " | default:" + spaced(*script.defaultFeatures);
        for (const auto& l : script.languages) line += " | " + fontfile::tagText(l.language) + ":" + spaced(l.features);
        lines.push_back(line);
    }
    return lines;
}

// One line a script: its tag and union only.
Lines unions(const LayoutTable& table) {
    Lines lines;
    for (const auto& script : table.scripts)
        lines.push_back(fontfile::tagText(script.script) + ":" + spaced(script.features));
    return lines;
}

Bytes fontWith(const std::optional<LayoutParts>& gsub, const std::optional<LayoutParts>& gpos = std::nullopt) {
    FontWriter font;
    font.table("OS/2", os2Table({}));
    if (gsub) font.table("GSUB", layoutTable(*gsub));
    if (gpos) font.table("GPOS", layoutTable(*gpos));
    return font.build();
}

// A font whose GSUB table is `gsub` as given, its record's length that of
// the bytes, followed by a GPOS table.
Bytes fontWithRawGsub(const Bytes& gsub, const LayoutParts& gpos) {
    return FontWriter().table("OS/2", os2Table({})).table("GSUB", gsub).table("GPOS", layoutTable(gpos)).build();
}

LayoutTables parse(const Bytes& font, std::uint64_t directoryPosition = 0) {
    MemorySource source(font);
    return fontfile::parseLayoutTables(source, directoryPosition);
}

// Where the GSUB table starts in fontWith(...) and fontWithRawGsub(...),
// and where its record's length is.
std::size_t gsubAt(std::size_t tables) { return 12 + 16 * tables + 86; }
constexpr std::size_t kGsubLengthAt = 12 + 16 + 12;

// Where the Script table of script record `k` starts in a layout table.
std::size_t scriptTableAt(const Bytes& table, std::size_t k) {
    const std::size_t list = getU16(table, kLayoutScriptListAt);
    return list + getU16(table, list + 2 + 6 * k + 4);
}

LayoutParts threeScripts() {
    LayoutParts gsub;
    // liga twice, as a font with two ligature lookups lists it
    gsub.features = {"ccmp", "liga", "locl", "isol", "init", "liga", "fina", "medi"};
    gsub.scripts = {
        {"latn", LangSysParts{{0, 1}}, {{"TRK ", {{2, 5, 0}}}, {"ROM ", {{2}}}}},
        {"DFLT", LangSysParts{{0}}, {}},
        {"arab", LangSysParts{{3, 4, 7, 6, 0}}, {{"URD ", {{3, 4, 7, 6, 2}}}}},
    };
    return gsub;
}

const Lines kThreeScripts{
    "DFLT: ccmp | default: ccmp",
    "arab: ccmp fina init isol locl medi | default: ccmp fina init isol medi | URD : fina init isol locl medi",
    "latn: ccmp liga locl | default: ccmp liga | ROM : locl | TRK : ccmp liga locl",
};

LayoutParts kernOnly() {
    LayoutParts gpos;
    gpos.features = {"kern"};
    gpos.scripts = {{"latn", LangSysParts{{0}}, {}}};
    return gpos;
}

// ---- What a table declares ------------------------------------------------

TEST(LayoutTablesRead, EachScriptAndLanguageSystemReachesItsFeatures) {
    const auto tables = parse(fontWith(threeScripts()));
    ASSERT_EQ(tables.gsub.outcome, Outcome::read);
    EXPECT_EQ(tables.gsub.damage, nullptr);
    EXPECT_EQ(describe(tables.gsub), kThreeScripts);
    EXPECT_EQ(tables.gpos.outcome, Outcome::absent);
    EXPECT_TRUE(tables.gpos.scripts.empty());

    const auto* latn = tables.gsub.findScript(tag("latn"));
    ASSERT_NE(latn, nullptr);
    EXPECT_EQ(spaced(latn->featuresFor(tag("TRK "))), " ccmp liga locl");
    EXPECT_EQ(spaced(latn->featuresFor(tag("DEU "))), " ccmp liga");  // no system of its own: the default's
    EXPECT_TRUE(fontfile::declares(latn->featuresFor(tag("TRK ")), tag("locl")));
    EXPECT_FALSE(fontfile::declares(latn->featuresFor(tag("DEU ")), tag("locl")));
    EXPECT_TRUE(fontfile::declares(latn->features, tag("locl")));
    EXPECT_EQ(tables.gsub.findScript(tag("cyrl")), nullptr);
    EXPECT_EQ(tables.gsub.findScript(tag("latm")), nullptr);
}

TEST(LayoutTablesRead, BothTablesAndBothVersionsReadAlike) {
    auto gpos = kernOnly();
    gpos.minorVersion = 1;  // a featureVariationsOffset follows the three offsets
    const auto tables = parse(fontWith(threeScripts(), gpos));
    EXPECT_EQ(describe(tables.gsub), kThreeScripts);
    ASSERT_EQ(tables.gpos.outcome, Outcome::read);
    EXPECT_EQ(describe(tables.gpos), (Lines{"latn: kern | default: kern"}));

    const auto gposOnly = parse(fontWith(std::nullopt, kernOnly()));
    EXPECT_EQ(gposOnly.gsub.outcome, Outcome::absent);
    EXPECT_EQ(gposOnly.gpos.outcome, Outcome::read);
    EXPECT_EQ(parse(Bytes{}).gsub.outcome, Outcome::absent);
}

TEST(LayoutTablesRead, TheRequiredFeatureCountsWithTheIndices) {
    LayoutParts gsub;
    gsub.features = {"ccmp", "rlig", "init", "liga"};
    gsub.scripts = {
        {"arab", LangSysParts{{0, 2}, 1}, {{"URD ", {{}, 1}}, {"SND ", {{1, 3}, 1}}}},
        {"latn", LangSysParts{{3}, kNoRequiredFeature}, {{"TRK ", {{3}, 9}}}},  // 9 is no feature
    };
    EXPECT_EQ(describe(parse(fontWith(gsub)).gsub),
              (Lines{"arab: ccmp init liga rlig | default: ccmp init rlig | SND : liga rlig | URD : rlig",
                     "latn: liga | default: liga | TRK : liga"}));
}

TEST(LayoutTablesRead, RecordsThatRepeatATagAreJoined) {
    LayoutParts gsub;
    gsub.features = {"ccmp", "liga", "locl", "smcp"};
    gsub.scripts = {
        {"latn", LangSysParts{{0}}, {{"TRK ", {{2}}}}},
        {"cyrl", LangSysParts{{0}}, {}},
        {"latn", LangSysParts{{1}}, {{"TRK ", {{3}}}, {"ROM ", {{2}}}, {"TRK ", {{0}}}}},
    };
    EXPECT_EQ(describe(parse(fontWith(gsub)).gsub),
              (Lines{"cyrl: ccmp | default: ccmp",
                     "latn: ccmp liga locl smcp | default: ccmp liga | ROM : locl | TRK : ccmp locl smcp"}));
}

TEST(LayoutTablesRead, SharedScriptAndLanguageTablesGiveWhatCopiesGive) {
    // fontTools shares identical subtables: many records, one table.
    LayoutParts copies;
    copies.features = {"kern", "mark", "mkmk"};
    copies.scripts = {{"DFLT", LangSysParts{{0}}, {}},
                      {"cyrl", LangSysParts{{0, 1, 2}}, {{"MKD ", {{0, 1, 2}}}, {"SRB ", {{0, 1, 2}}}}},
                      {"latn", LangSysParts{{0}}, {}}};
    auto shared = copies;
    shared.scripts[1].languages[1].sameAs = 0;
    shared.scripts[2].sameAs = 0;
    const auto sharedBytes = layoutTable(shared);
    EXPECT_LT(sharedBytes.size(), layoutTable(copies).size());
    EXPECT_EQ(describe(parse(fontWith(shared)).gsub), describe(parse(fontWith(copies)).gsub));
    EXPECT_EQ(describe(parse(fontWith(shared)).gsub),
              (Lines{"DFLT: kern | default: kern",
                     "cyrl: kern mark mkmk | default: kern mark mkmk | MKD : kern mark mkmk | SRB : kern mark mkmk",
                     "latn: kern | default: kern"}));
}

TEST(LayoutTablesRead, TagsKeepTheirBytesTrailingBlanksIncluded) {
    LayoutParts gsub;
    gsub.features = {" RQD", std::string("ab\x01\xFF", 4)};
    gsub.scripts = {{"lao ", LangSysParts{{0, 1}}, {{std::string("\x1B[2J", 4), {{1}}}}}};
    const auto table = parse(fontWith(gsub)).gsub;
    ASSERT_EQ(table.scripts.size(), 1u);
    EXPECT_EQ(fontfile::tagText(table.scripts[0].script), "lao ");
    ASSERT_EQ(table.scripts[0].features.size(), 2u);
    EXPECT_EQ(fontfile::tagText(table.scripts[0].features[0]), " RQD");
    EXPECT_EQ(fontfile::tagText(table.scripts[0].features[1]), std::string("ab\x01\xFF", 4));
    ASSERT_EQ(table.scripts[0].languages.size(), 1u);
    EXPECT_EQ(fontfile::tagText(table.scripts[0].languages[0].language), std::string("\x1B[2J", 4));
}

TEST(LayoutTablesRead, ReadsTheCollectionMemberWhoseDirectoryItIsGiven) {
    CollectionWriter collection;
    collection.member(FontWriter().table("GSUB", layoutTable(threeScripts())));
    collection.member(FontWriter().table("GPOS", layoutTable(kernOnly())));
    const auto bytes = collection.build();
    const auto first = parse(bytes, collection.memberOffset(0));
    EXPECT_EQ(describe(first.gsub), kThreeScripts);
    EXPECT_EQ(first.gpos.outcome, Outcome::absent);
    const auto second = parse(bytes, collection.memberOffset(1));
    EXPECT_EQ(second.gsub.outcome, Outcome::absent);
    EXPECT_EQ(unions(second.gpos), (Lines{"latn: kern"}));
    EXPECT_EQ(parse(bytes, bytes.size()).gsub.outcome, Outcome::absent);
}

// ---- Damage ---------------------------------------------------------------

TEST(LayoutTablesDamage, FeatureIndicesOutsideTheListReachNothing) {
    LayoutParts gsub;
    gsub.features = {"ccmp", "liga", "locl"};
    gsub.scripts = {{"latn", LangSysParts{{1, 3, 0xFFFE, 2, 0xFFFF}, 7}, {}}};
    EXPECT_EQ(describe(parse(fontWith(gsub)).gsub), (Lines{"latn: liga locl | default: liga locl"}));

    // Counts that say less than is written are taken at their word.
    gsub.declaredFeatureCount = 2;
    gsub.scripts = {{"latn", LangSysParts{{0, 1, 2}}, {}},
                    {"cyrl", LangSysParts{{1, 2, 0}, kNoRequiredFeature, 1}, {}}};
    EXPECT_EQ(describe(parse(fontWith(gsub)).gsub),
              (Lines{"cyrl: liga | default: liga", "latn: ccmp liga | default: ccmp liga"}));
}

// The scripts of a table whose feature list comes first, so that a cut at
// its end falls in the last script's tables: "latn", default LangSys only.
LayoutParts scriptsLast() {
    LayoutParts gsub;
    gsub.featureListFirst = true;
    gsub.features = {"ccmp", "liga", "locl"};
    gsub.scripts = {{"arab", LangSysParts{{0}}, {{"URD ", {{2}}}}}, {"latn", LangSysParts{{0, 1, 2}}, {}}};
    return gsub;
}

TEST(LayoutTablesDamage, ListsCutShortKeepTheirWholeEntries) {
    const auto table = layoutTable(scriptsLast());
    const auto whole = fontWithRawGsub(table, kernOnly());
    const auto cut = [&](std::size_t lost) {
        auto font = whole;
        setU32(font, kGsubLengthAt, static_cast<std::uint32_t>(table.size() - lost));
        return describe(parse(font).gsub);
    };
    const std::string arab = "arab: ccmp locl | default: ccmp | URD : locl";
    EXPECT_EQ(cut(0), (Lines{arab, "latn: ccmp liga locl | default: ccmp liga locl"}));
    EXPECT_EQ(cut(1), (Lines{arab, "latn: ccmp liga | default: ccmp liga"}));  // the last index is cut in half
    EXPECT_EQ(cut(6), (Lines{arab, "latn: | default:"}));                      // no index left
    EXPECT_EQ(cut(7), (Lines{arab, "latn:"}));                                 // the LangSys header is cut off
    EXPECT_EQ(cut(13), (Lines{arab}));                                         // the Script header is cut off

    // A featureIndexCount that runs past the end keeps the indices there.
    auto lying = scriptsLast();
    lying.scripts[1].defaultSystem->declaredCount = 0xFFFF;
    lying.declaredFeatureCount = 0xFFFF;  // its records run into the script list
    EXPECT_EQ(describe(parse(fontWith(lying)).gsub), cut(0));
}

TEST(LayoutTablesDamage, TheTableEndsWhereItsLengthOrTheFileSaysAlike) {
    // Cut by its record's length, with the GPOS table after it, or by the
    // end of the file: the same result at every size.
    const auto table = layoutTable(scriptsLast());
    const auto whole = fontWithRawGsub(table, kernOnly());
    const auto alone = FontWriter().table("OS/2", os2Table({})).table("GSUB", table).build();
    for (std::size_t size = 0; size <= table.size(); ++size) {
        auto byLength = whole;
        setU32(byLength, kGsubLengthAt, static_cast<std::uint32_t>(size));
        const auto fromLength = parse(byLength).gsub;
        const auto fromEnd = parse(truncated(alone, gsubAt(2) + size)).gsub;
        EXPECT_EQ(fromLength.outcome, fromEnd.outcome) << size;
        EXPECT_EQ(describe(fromLength), describe(fromEnd)) << size;
        EXPECT_EQ(fromLength.damage == nullptr, fromEnd.damage == nullptr) << size;
    }
}

TEST(LayoutTablesDamage, ALayoutThatCannotBeKnownGivesDamagedWithAReason) {
    const auto table = layoutTable(threeScripts());
    const auto lying = [&](std::size_t at, std::uint16_t value) {
        auto bytes = table;
        setU16(bytes, at, value);
        return bytes;
    };
    struct Case {
        std::string name;
        Bytes font;
    };
    const auto gpos = kernOnly();
    const std::vector<Case> cases{
        {"directory cut in the GSUB record", truncated(fontWith(threeScripts(), gpos), 12 + 16 + 10)},
        {"header cut off", fontWithRawGsub(truncated(table, 9), gpos)},
        {"no bytes", fontWithRawGsub({}, gpos)},
        {"major version 2", fontWithRawGsub(lying(0, 2), gpos)},
        {"major version 0", fontWithRawGsub(lying(0, 0), gpos)},
        {"script list past the end", fontWithRawGsub(lying(kLayoutScriptListAt, 0xFFF0), gpos)},
        {"script list count cut in half",
         fontWithRawGsub(lying(kLayoutScriptListAt, static_cast<std::uint16_t>(table.size() - 1)), gpos)},
        {"feature list past the end", fontWithRawGsub(lying(kLayoutFeatureListAt, 0xFFF0), gpos)},
        {"feature list at the end",
         fontWithRawGsub(lying(kLayoutFeatureListAt, static_cast<std::uint16_t>(table.size())), gpos)},
    };
    for (const auto& c : cases) {
        const auto tables = parse(c.font);
        EXPECT_EQ(tables.gsub.outcome, Outcome::damaged) << c.name;
        ASSERT_NE(tables.gsub.damage, nullptr) << c.name;
        EXPECT_NE(std::string(tables.gsub.damage).find("GSUB"), std::string::npos) << tables.gsub.damage;
        EXPECT_TRUE(tables.gsub.scripts.empty()) << c.name;
        if (c.name.rfind("directory", 0) == 0) continue;
        EXPECT_EQ(unions(tables.gpos), (Lines{"latn: kern"})) << c.name;  // the other table is still read
    }
    auto gposDamaged = layoutTable(kernOnly());
    setU16(gposDamaged, kLayoutFeatureListAt, 0xFFF0);
    const auto tables = parse(FontWriter().table("GPOS", gposDamaged).table("GSUB", table).build());
    EXPECT_EQ(tables.gpos.outcome, Outcome::damaged);
    EXPECT_EQ(std::string(tables.gpos.damage), "the GPOS table's feature list lies outside it");
    EXPECT_EQ(describe(tables.gsub), kThreeScripts);
}

TEST(LayoutTablesDamage, NullOffsetsAreNoListNoScriptAndNoLanguage) {
    auto noScripts = threeScripts();
    noScripts.scriptListOffset = 0;
    const auto empty = parse(fontWith(noScripts)).gsub;
    EXPECT_EQ(empty.outcome, Outcome::read);
    EXPECT_TRUE(empty.scripts.empty());

    auto noFeatures = threeScripts();
    noFeatures.featureListOffset = 0;
    EXPECT_EQ(describe(parse(fontWith(noFeatures)).gsub),
              (Lines{"DFLT: | default:", "arab: | default: | URD :", "latn: | default: | ROM : | TRK :"}));

    auto nulls = threeScripts();
    nulls.scripts[0].languages[0].offset = 0;  // latn's TRK
    nulls.scripts[1].offset = 0;               // DFLT
    nulls.scripts[2].defaultSystem.reset();    // arab
    EXPECT_EQ(describe(parse(fontWith(nulls)).gsub),
              (Lines{"arab: fina init isol locl medi | URD : fina init isol locl medi",
                     "latn: ccmp liga locl | default: ccmp liga | ROM : locl"}));
}

TEST(LayoutTablesDamage, ScriptsAndLanguagesOutsideTheTableAreLeftOut) {
    auto outside = threeScripts();
    outside.scripts[0].languages[1].offset = 0xFFF0;  // latn's ROM
    outside.scripts[1].offset = 0xFFF0;               // DFLT
    auto table = layoutTable(outside);
    setU16(table, scriptTableAt(table, 2), 0xFFF0);  // arab's defaultLangSysOffset
    EXPECT_EQ(describe(parse(fontWithRawGsub(table, kernOnly())).gsub),
              (Lines{"arab: fina init isol locl medi | URD : fina init isol locl medi",
                     "latn: ccmp liga locl | default: ccmp liga | TRK : ccmp liga locl"}));
}

// ---- Work -----------------------------------------------------------------

// A source that keeps where each read started and how much it asked for.
class RecordingSource final : public fontfile::ByteSource {
public:
    explicit RecordingSource(const Bytes& bytes) : inner_(bytes) {}
    std::size_t readAt(std::uint64_t position, std::span<std::uint8_t> out) override {
        reads.emplace_back(position, out.size());
        return inner_.readAt(position, out);
    }
    std::uint64_t size() override { return inner_.size(); }

    std::vector<std::pair<std::uint64_t, std::size_t>> reads;

private:
    MemorySource inner_;
};

TEST(LayoutTablesWork, ATableWhoseListsLieInItsFirstBytesCostsOneRead) {
    CountingSource source(fontWith(threeScripts(), kernOnly()));
    const auto tables = fontfile::parseLayoutTables(source, 0);
    EXPECT_EQ(describe(tables.gsub), kThreeScripts);
    EXPECT_EQ(source.reads, 4u);  // per table its directory scan and its first bytes
    EXPECT_EQ(source.sizeQuestions, 0u);
}

TEST(LayoutTablesWork, TheLookupListIsNeverRead) {
    auto after = threeScripts();
    after.lookupListSize = 200 * 1024;
    CountingSource source(fontWith(after));
    EXPECT_EQ(describe(fontfile::parseLayoutTables(source, 0).gsub), kThreeScripts);
    EXPECT_EQ(source.reads, 3u);  // two directory scans and the GSUB's first bytes
    EXPECT_EQ(source.bytesAsked, 2 * fontfile::kTableDirectorySize + fontfile::kTableWindowSize);

    // Lookups first: the lists lie past the first bytes and are read on
    // their own, and no read but that of the first bytes reaches a lookup.
    auto before = threeScripts();
    before.lookupListFirst = true;
    before.lookupListSize = 60 * 1024;
    const auto font = fontWith(before);
    RecordingSource recording(font);
    EXPECT_EQ(describe(fontfile::parseLayoutTables(recording, 0).gsub), kThreeScripts);
    const auto lookupsStart = gsubAt(2) + 10, lookupsEnd = lookupsStart + before.lookupListSize;
    std::size_t pastTheWindow = 0;
    for (const auto& [position, size] : recording.reads) {
        if (position == 0 || position == gsubAt(2)) continue;  // the directory scans, the first bytes
        ++pastTheWindow;
        EXPECT_TRUE(position >= lookupsEnd || position + size <= lookupsStart) << position << "+" << size;
    }
    EXPECT_GT(pastTheWindow, 0u);
}

TEST(LayoutTablesWork, SharedLanguageSystemsAreReadOnce) {
    // 100 languages of one script, each of 250 feature indices: as 100
    // tables, or as one that all point at.
    LayoutParts copies;
    for (int k = 0; k < 30; ++k) copies.features.push_back("f" + std::to_string(100 + k));
    LangSysParts system;
    for (std::uint16_t i = 0; i < 250; ++i) system.featureIndices.push_back(i % 30);
    copies.scripts = {{"latn", system, {}}};
    for (int k = 0; k < 100; ++k) copies.scripts[0].languages.push_back({"L" + std::to_string(100 + k), system});
    auto shared = copies;
    for (std::size_t k = 1; k < shared.scripts[0].languages.size(); ++k) shared.scripts[0].languages[k].sameAs = 0;

    const auto fromCopies = parse(fontWith(copies)).gsub;
    const auto fromShared = parse(fontWith(shared)).gsub;
    ASSERT_EQ(fromShared.outcome, Outcome::read);
    EXPECT_EQ(describe(fromShared), describe(fromCopies));
    EXPECT_GE(fromCopies.work, 100u * 250u);  // every index of every table looked at
    // The one table's indices once, then its 30 tags to each language.
    EXPECT_LT(fromShared.work, 100u * 250u / 3);
}

std::size_t workBound(std::size_t tableSize) {
    return fontfile::kLayoutWorkFloor + fontfile::kLayoutWorkPerByte * tableSize;
}

TEST(LayoutTablesWork, OverlappingLanguageSystemsCostNoMoreThanTheTableAllows) {
    // One script, 5,000 language systems at every other byte of a run of
    // 0x7F: each says it has 32,639 feature indices, reaching the end of the
    // table. Read each in turn, that is some 75 million indices.
    const auto table = overlappingLanguageSystems(5000, 35000);
    const auto font = FontWriter().table("GSUB", table).build();
    CountingSource source(font);
    const auto gsub = fontfile::parseLayoutTables(source, 0).gsub;
    EXPECT_EQ(gsub.outcome, Outcome::damaged);
    EXPECT_EQ(std::string(gsub.damage), "the GSUB table's lists point at more entries than its bytes hold");
    EXPECT_LE(gsub.work, workBound(table.size()) + 0xFFFF);  // one language system past the bound at most
    EXPECT_LE(source.bytesAsked, 8 * workBound(table.size()));
    EXPECT_EQ(source.sizeQuestions, 1u);  // asked once the first bytes no longer account for the work
}

TEST(LayoutTablesWork, SharingThatMultipliesTheResultPastTheTableIsDamage) {
    // 300 scripts share a Script table whose 300 languages share a LangSys
    // of 300 features: 27 million tags to hand out from 7 KiB.
    const auto tooMuch = layoutTable(sharedAtEveryLevel(300));
    const auto gsub = parse(FontWriter().table("GSUB", tooMuch).build()).gsub;
    EXPECT_EQ(gsub.outcome, Outcome::damaged);
    EXPECT_LE(gsub.work, workBound(tooMuch.size()) + 300);

    // At a size fonts have, the same sharing is read.
    const auto read = parse(FontWriter().table("GSUB", layoutTable(sharedAtEveryLevel(20))).build()).gsub;
    ASSERT_EQ(read.outcome, Outcome::read);
    ASSERT_EQ(read.scripts.size(), 20u);
    EXPECT_EQ(read.scripts[19].languages.size(), 20u);
    EXPECT_EQ(read.scripts[19].languages[19].features.size(), 20u);
}

// ---- Real fonts -------------------------------------------------------------
// Each table's scripts with the union of their features as fontTools 4.38
// read them once, default language system, language systems and required
// feature alike.

constexpr const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kMicroHei = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
constexpr const char* kNotoDevanagari = "/usr/share/fonts/truetype/noto/NotoSansDevanagari-Regular.ttf";
constexpr const char* kNotoArabic = "/usr/share/fonts/truetype/noto/NotoSansArabic-Regular.ttf";

// The layout tables of the packaged font at `path`, of its member `member`
// when it is a collection; nothing when it is not installed.
std::optional<LayoutTables> packagedLayout(const char* path, std::size_t member = 0) {
    const auto file = enginetest::installed(path);
    if (!file) return std::nullopt;
    const auto bytes = readFile(*file);
    const bool collection = bytes.size() >= 4 && std::equal(bytes.begin(), bytes.begin() + 4, "ttcf");
    const auto at = 12 + 4 * member;  // the member's entry of tableDirectoryOffsets
    const std::uint64_t directory = collection ? std::uint64_t{getU16(bytes, at)} << 16 | getU16(bytes, at + 2) : 0;
    return parse(bytes, directory);
}

#define SKIP_UNLESS_INSTALLED(layout, path, package) \
    if (!layout) GTEST_SKIP() << "needs " << path << " (" << package << ") installed"

TEST(RealLayoutTables, DejaVuSansDeclaresWhatAnIndependentReaderFinds) {
    const auto layout = packagedLayout(kDejaVu);
    SKIP_UNLESS_INSTALLED(layout, kDejaVu, "fonts-dejavu-core");
    EXPECT_EQ(unions(layout->gsub), (Lines{"DFLT:  RQD case ccmp dlig",
                                           "arab: ccmp fina init liga medi rlig",
                                           "armn: ccmp dlig",
                                           "brai: ccmp",
                                           "cans: ccmp",
                                           "cher: ccmp",
                                           "cyrl: ccmp locl",
                                           "geor: ccmp",
                                           "grek: aalt ccmp salt",
                                           "hani: ccmp",
                                           "hebr: aalt ccmp hlig salt",
                                           "kana: ccmp",
                                           "lao : ccmp",
                                           "latn: aalt case ccmp dlig hlig liga locl salt",
                                           "math: ccmp",
                                           "nko :  RQD ccmp fina init medi",
                                           "ogam: ccmp",
                                           "runr: ccmp",
                                           "tfng: ccmp",
                                           "thai: ccmp"}));
    EXPECT_EQ(unions(layout->gpos),
              (Lines{"DFLT: kern",           "arab: kern mark mkmk", "armn: kern",           "brai: kern",
                     "cans: kern",           "cher: kern",           "cyrl: kern mark mkmk", "geor: kern",
                     "grek: kern mark mkmk", "hani: kern",           "hebr: kern mark",      "kana: kern",
                     "lao : kern mark mkmk", "latn: kern mark mkmk", "math: kern",           "nko : kern mark",
                     "ogam: kern",           "runr: kern",           "tfng: kern mark",      "thai: kern"}));
    // Language systems of their own: " RQD" is DFLT's required feature.
    const auto& gsub = layout->gsub;
    EXPECT_EQ(describe(LayoutTable{Outcome::read, {*gsub.findScript(tag("DFLT"))}}),
              (Lines{"DFLT:  RQD case ccmp dlig | default:  RQD case ccmp dlig"}));
    const auto* latn = gsub.findScript(tag("latn"));
    ASSERT_NE(latn, nullptr);
    EXPECT_EQ(latn->languages.size(), 11u);
    EXPECT_EQ(spaced(latn->featuresFor(tag("CAT "))), " case");
    EXPECT_EQ(spaced(latn->featuresFor(tag("ISM "))), " aalt ccmp dlig hlig liga locl salt");
    EXPECT_EQ(spaced(latn->featuresFor(tag("ENG "))), " aalt case ccmp dlig hlig liga salt");  // the default's
    EXPECT_EQ(spaced(gsub.findScript(tag("cyrl"))->featuresFor(tag("SRB "))), " ccmp locl");
    EXPECT_EQ(describe(LayoutTable{Outcome::read, {*gsub.findScript(tag("arab"))}}),
              (Lines{"arab: ccmp fina init liga medi rlig | default: ccmp fina init liga medi rlig"
                     " | KUR : ccmp fina init liga medi rlig | SND : ccmp fina init liga medi rlig"
                     " | URD : ccmp fina init liga medi rlig"}));
}

TEST(RealLayoutTables, MicroHeiHasScriptsWithoutFeaturesInBothMembers) {
    for (std::size_t member = 0; member < 2; ++member) {
        const auto layout = packagedLayout(kMicroHei, member);
        SKIP_UNLESS_INSTALLED(layout, kMicroHei, "fonts-wqy-microhei");
        EXPECT_EQ(describe(layout->gsub), (Lines{"latn: | default:"})) << member;
        EXPECT_EQ(describe(layout->gpos), (Lines{"latn: kern | default: kern"})) << member;
    }
}

TEST(RealLayoutTables, NotoSansDevanagariDeclaresBothScriptTags) {
    const auto layout = packagedLayout(kNotoDevanagari);
    SKIP_UNLESS_INSTALLED(layout, kNotoDevanagari, "fonts-noto-core");
    EXPECT_EQ(unions(layout->gsub), (Lines{"dev2: abvs akhn blwf blws cjct half haln locl nukt pres psts rkrf rphf",
                                           "deva: abvs akhn blwf blws half haln locl nukt pres psts rphf vatu"}));
    EXPECT_EQ(unions(layout->gpos), (Lines{"dev2: abvm blwm dist", "deva: abvm blwm dist"}));
}

TEST(RealLayoutTables, NotoSansArabicDeclaresItsJoiningForms) {
    const auto layout = packagedLayout(kNotoArabic);
    SKIP_UNLESS_INSTALLED(layout, kNotoArabic, "fonts-noto-core");
    EXPECT_EQ(unions(layout->gsub), (Lines{"DFLT: aalt ccmp dlig fina init isol medi",
                                           "arab: aalt ccmp dlig fina init isol locl medi rlig"}));
    EXPECT_EQ(unions(layout->gpos), (Lines{"DFLT: kern mark mkmk", "arab: kern mark mkmk"}));
}

}  // namespace
