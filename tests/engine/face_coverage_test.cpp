// Measuring one face against a request: the counts, the match modes, the
// minimum percentage, near misses and the missing code points listed.
#include "coverage/face_coverage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "coverage/coverage_rows.h"

namespace {

using coverage::CoverageRequest;
using coverage::MatchMode;
using coverage::measureFace;
using fontfile::CharacterMap;
using fontfile::CodePointRange;
using ::testing::ElementsAre;

constexpr std::int32_t kCyrillicBit = 9;

// Cyrillic is U+0400-04FF, 256 code points, all assigned.
std::size_t cyrillic() { return coverage::findCoverageRow("Cyrillic").value(); }
std::size_t basicLatin() { return coverage::findCoverageRow("Basic Latin").value(); }

inventory::CatalogFace face(bool declaresCyrillic, std::vector<CodePointRange> covered,
                            CharacterMap::Outcome outcome = CharacterMap::Outcome::unicode) {
    inventory::CatalogFace f;
    if (declaresCyrillic) f.ranges[0] = 1u << kCyrillicBit;
    fontfile::CharacterMap map;
    map.outcome = outcome;
    map.covered = std::move(covered);
    f.characterMap = std::make_shared<const fontfile::CharacterMap>(std::move(map));
    return f;
}

CoverageRequest blocks(std::vector<std::size_t> rows, MatchMode match = MatchMode::declared) {
    return {.rows = std::move(rows), .match = match};
}

TEST(FaceCoverage, CountsEachBlockBesideWhatTheFaceDeclares) {
    const auto measured = measureFace(blocks({cyrillic(), basicLatin()}), face(true, {{0x41, 0x5A}, {0x410, 0x412}}));
    ASSERT_EQ(measured.blocks.size(), 2u);
    EXPECT_EQ(measured.blocks[0].row, cyrillic());
    EXPECT_TRUE(measured.blocks[0].declared);
    EXPECT_EQ(measured.blocks[0].covered, 3u);
    EXPECT_EQ(measured.blocks[0].total, 256u);
    EXPECT_FALSE(measured.blocks[1].declared);
    EXPECT_EQ(measured.blocks[1].covered, 26u);
    EXPECT_EQ(measured.blocks[1].total, 128u);
    EXPECT_EQ(measured.missing, 253u + 102u);
    EXPECT_FALSE(measured.codePoints);
}

// The three ways of matching, over a face that claims what it lacks and one
// that has what it does not claim.
TEST(FaceCoverage, MatchesByTheBitsTheCharacterMapOrBoth) {
    const auto claims = face(true, {{0x410, 0x412}});
    const auto has = face(false, {{0x400, 0x4FF}});
    const auto both = face(true, {{0x400, 0x4FF}});
    for (const auto& [match, claimsListed, hasListed] :
         {std::tuple{MatchMode::declared, true, false}, std::tuple{MatchMode::covered, false, true},
          std::tuple{MatchMode::both, false, false}}) {
        EXPECT_EQ(measureFace(blocks({cyrillic()}, match), claims).listed, claimsListed);
        EXPECT_EQ(measureFace(blocks({cyrillic()}, match), has).listed, hasListed);
        EXPECT_TRUE(measureFace(blocks({cyrillic()}, match), both).listed);
    }
    // Nothing asked: every face, as the program lists every font.
    EXPECT_TRUE(measureFace(blocks({}, MatchMode::both), face(false, {})).listed);
}

TEST(FaceCoverage, TheMinimumPercentageIsReachedExactlyOn) {
    const auto half = face(false, {{0x400, 0x47F}});  // 128 of 256
    auto request = blocks({cyrillic()}, MatchMode::covered);
    request.minPercent = 50;
    EXPECT_TRUE(measureFace(request, half).listed);
    request.minPercent = 51;
    EXPECT_FALSE(measureFace(request, half).listed);
    request.minPercent = 0;
    EXPECT_TRUE(measureFace(request, face(false, {})).listed);
}

TEST(FaceCoverage, CodePointsMustAllBeMappedWhateverTheMatch) {
    auto request = blocks({});
    request.codePoints = {{0x41, 0x43}, {0x20AC, 0x20AC}};
    const auto measured = measureFace(request, face(false, {{0x41, 0x43}}));
    ASSERT_TRUE(measured.codePoints);
    EXPECT_EQ(measured.codePoints->covered, 3u);
    EXPECT_EQ(measured.codePoints->total, 4u);
    EXPECT_FALSE(measured.listed);
    EXPECT_TRUE(measureFace(request, face(false, {{0x41, 0x43}, {0x20AC, 0x20AC}})).listed);
}

// Near misses count what is missing over the blocks and the code points
// together, and with both the bits must still be declared.
TEST(FaceCoverage, NearMissesCountEverythingMissingAndAreNotMatches) {
    auto request = blocks({cyrillic()}, MatchMode::covered);
    request.codePoints = {{0x20AC, 0x20AC}};
    const auto twoShort = face(false, {{0x400, 0x4FD}});  // 254 of 256, and no euro sign: 3 missing
    EXPECT_FALSE(measureFace(request, twoShort).near) << "not asked: neither true nor false";

    request.near = 3;
    auto measured = measureFace(request, twoShort);
    EXPECT_EQ(measured.missing, 3u);
    EXPECT_FALSE(measured.listed);
    EXPECT_EQ(measured.near, true);
    EXPECT_TRUE(measured.shown());

    request.near = 2;
    EXPECT_EQ(measureFace(request, twoShort).near, false);

    request.near = 3;
    request.match = MatchMode::both;
    EXPECT_EQ(measureFace(request, twoShort).near, false) << "both: the bit is not declared";
    auto declared = twoShort;
    declared.ranges[0] = 1u << kCyrillicBit;
    EXPECT_EQ(measureFace(request, declared).near, true);

    // A face that maps nothing misses everything there is, and that can be near too.
    const CoverageRequest everything{.codePoints = {{0, fontfile::kLastCodePoint}},
                                     .match = MatchMode::covered,
                                     .near = fontfile::kLastCodePoint + 1};
    EXPECT_EQ(measureFace(everything, face(false, {})).near, true);

    // A match is never also a near miss.
    request.match = MatchMode::covered;
    EXPECT_EQ(measureFace(request, face(false, {{0x400, 0x4FF}, {0x20AC, 0x20AC}})).near, false);
}

TEST(FaceCoverage, ListsTheFirstMissingCodePointsNoMoreThanAreMissing) {
    auto request = blocks({cyrillic()});
    request.codePoints = {{0x41, 0x44}};
    request.missingListed = 2;
    auto measured = measureFace(request, face(true, {{0x42, 0x42}, {0x400, 0x4FC}}));
    ASSERT_TRUE(measured.blocks[0].firstMissing);
    EXPECT_THAT(*measured.blocks[0].firstMissing, ElementsAre(0x4FD, 0x4FE));
    EXPECT_THAT(*measured.codePoints->firstMissing, ElementsAre(0x41, 0x43));

    request.missingListed = 100;
    measured = measureFace(request, face(true, {{0x400, 0x4FC}}));
    EXPECT_THAT(*measured.blocks[0].firstMissing, ElementsAre(0x4FD, 0x4FE, 0x4FF));

    // Not asked for: nothing listed, not even an empty list.
    request.missingListed.reset();
    EXPECT_FALSE(measureFace(request, face(true, {})).blocks[0].firstMissing);
}

// Only a Unicode character map covers anything; a face read without one
// covers nothing either.
TEST(FaceCoverage, MapsThatGiveNoUnicodeCoverageCoverNothing) {
    const auto request = blocks({cyrillic()});
    for (const auto outcome : {CharacterMap::Outcome::symbolOnly, CharacterMap::Outcome::damaged,
                               CharacterMap::Outcome::noUnicodeSubtable, CharacterMap::Outcome::noCmapTable}) {
        EXPECT_EQ(measureFace(request, face(true, {{0x400, 0x4FF}}, outcome)).blocks[0].covered, 0u);
    }
    auto unread = face(true, {});
    unread.characterMap.reset();
    EXPECT_EQ(measureFace(request, unread).blocks[0].covered, 0u);
    EXPECT_TRUE(measureFace(request, unread).listed);
}

TEST(FaceCoverage, OnlyWhatCountsCharactersNeedsTheCharacterMaps) {
    EXPECT_FALSE(blocks({cyrillic()}).needsCharacterMaps());
    EXPECT_TRUE(blocks({}, MatchMode::covered).needsCharacterMaps());
    const CoverageRequest characters{.codePoints = {{0x41, 0x41}}};
    EXPECT_TRUE(characters.needsCharacterMaps());
    EXPECT_TRUE(CoverageRequest{.missingListed = 0}.needsCharacterMaps());
    const CoverageRequest near{.match = MatchMode::both, .near = 0};
    EXPECT_TRUE(near.needsCharacterMaps());
}

}  // namespace
