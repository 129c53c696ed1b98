// The whole road from a fonts folder to the result lines, over font files
// that real packages install: DejaVu Sans (fonts-dejavu-core) and the
// WenQuanYi Micro Hei collection (fonts-wqy-microhei).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "coverage/coverage_rows.h"
#include "coverage/languages.h"
#include "engine_test_helpers.h"
#include "fontfile/code_points.h"
#include "inventory/font_catalog.h"
#include "inventory/font_inventory.h"
#include "selection/unicode_blocks.h"

namespace {

using enginetest::installed;
using enginetest::TempFolder;
using inventory::FontInventory;
using inventory::slotText;
using Lines = std::vector<std::string>;

constexpr const char* kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
constexpr const char* kMicroHei = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

std::vector<std::int32_t> bitsOf(const std::vector<std::string>& blocks) {
    std::vector<std::int32_t> bits;
    for (const auto& name : blocks)
        bits.push_back(coverage::coverageRows()[coverage::findCoverageRow(name).value()].rangeBit);
    return bits;
}

class RealFonts : public ::testing::Test {
protected:
    void SetUp() override {
        const auto dejaVu = installed(kDejaVu);
        const auto microHei = installed(kMicroHei);
        if (!dejaVu || !microHei) {
            GTEST_SKIP() << "needs " << kDejaVu << " (fonts-dejavu-core) and " << kMicroHei
                         << " (fonts-wqy-microhei) installed";
        }
        std::filesystem::copy_file(*dejaVu, folder_.path() / "DejaVuSans.ttf");
        std::filesystem::copy_file(*microHei, folder_.path() / "wqy-microhei.ttc");
        inventory::buildInventory(fonts_, folder_.enginePath());
    }

    Lines linesFor(const std::vector<std::string>& blocks) const {
        return enginetest::matchingLines(fonts_, bitsOf(blocks));
    }

    TempFolder folder_;
    FontInventory fonts_;
};

TEST_F(RealFonts, TheInventoryHoldsBothFilesWithTheirFullNames) {
    ASSERT_EQ(fonts_.singleCount, 1);
    EXPECT_EQ(slotText(fonts_.singleFileNames[0]), "DejaVuSans.ttf");
    EXPECT_EQ(slotText(fonts_.singleFullNames[0]), "DejaVu Sans");

    ASSERT_EQ(fonts_.collectionCount, 1);
    EXPECT_EQ(slotText(fonts_.collectionFileNames[0]), "wqy-microhei.ttc");
    ASSERT_EQ(fonts_.memberCounts[0], 2);
    EXPECT_EQ(slotText(enginetest::memberRecord(fonts_, 0, 0).fullName), "WenQuanYi Micro Hei");
    EXPECT_EQ(slotText(enginetest::memberRecord(fonts_, 0, 1).fullName), "WenQuanYi Micro Hei Mono");
}

TEST_F(RealFonts, TheRangeWordsHoldTheBlocksTheFontsDeclare) {
    const auto& dejaVu = fonts_.singleRecords[0].ranges;
    EXPECT_TRUE(selection::coversAll(dejaVu, bitsOf({"Basic Latin", "Cyrillic", "Armenian", "Hebrew"})));
    EXPECT_FALSE(selection::coversAll(dejaVu, bitsOf({"CJK Unified Ideographs"})));
    for (int member = 0; member < 2; ++member) {
        const auto& microHei = enginetest::memberRecord(fonts_, 0, member).ranges;
        EXPECT_TRUE(selection::coversAll(microHei, bitsOf({"Basic Latin", "Cyrillic", "CJK Unified Ideographs"})));
        EXPECT_TRUE(selection::coversAll(microHei, std::vector<std::int32_t>{59}));
        EXPECT_FALSE(selection::coversAll(microHei, bitsOf({"Armenian"})));
    }
}

TEST_F(RealFonts, EachSelectionListsExactlyTheFontsThatDeclareItsBlocks) {
    const Lines all{"DejaVu Sans   (DejaVuSans.ttf)", "WenQuanYi Micro Hei  (wqy-microhei.ttc)",
                    "WenQuanYi Micro Hei Mono  (wqy-microhei.ttc)"};
    EXPECT_EQ(linesFor({}), all);
    EXPECT_EQ(linesFor({"Basic Latin", "Cyrillic"}), all);
    EXPECT_EQ(linesFor({"CJK Unified Ideographs"}),
              (Lines{"WenQuanYi Micro Hei  (wqy-microhei.ttc)", "WenQuanYi Micro Hei Mono  (wqy-microhei.ttc)"}));
    EXPECT_EQ(linesFor({"Basic Latin", "Armenian"}), (Lines{"DejaVu Sans   (DejaVuSans.ttf)"}));
    EXPECT_TRUE(linesFor({"Armenian", "CJK Unified Ideographs"}).empty());
    EXPECT_TRUE(linesFor({"Yi Syllables"}).empty());
}

// What each font's character map covers of each block, beside what it
// declares. The numbers were counted once by an independent reader:
// fontTools 4.38's best cmap, code points mapped to glyph 0 left out,
// against Python's Unicode 14 data, over blocks Unicode has not changed
// since (so their totals are those of Unicode 17 too).
TEST_F(RealFonts, CharacterMapsCoverWhatAnIndependentReaderCounts) {
    struct Expected {
        const char* block;
        std::uint32_t total, dejaVu, microHei;
    };
    const Expected expected[] = {
        {"Basic Latin", 128, 95, 96},
        {"Latin-1 Supplement", 128, 96, 96},
        {"Latin Extended-A", 128, 128, 128},
        {"Greek", 135, 135, 75},
        {"Cyrillic", 256, 256, 255},
        {"Hebrew", 88, 54, 0},
        {"Arabic", 256, 165, 0},
        {"Thai", 87, 1, 1},
        {"Box Drawing", 128, 128, 113},
        {"Mathematical Operators", 256, 256, 61},
        {"Hiragana", 93, 0, 90},
        {"Hangul", 11172, 0, 11172},
        {"CJK Unified Ideographs", 20992, 0, 20932},
    };
    inventory::CatalogRequest request{.folders = {{folder_.enginePath()}}, .characterMaps = true};
    const auto catalog = inventory::buildCatalog(request);
    ASSERT_EQ(catalog.faces.size(), 3u);  // DejaVu Sans, then the two members
    for (const auto& e : expected) {
        const auto& row = coverage::coverageRows()[coverage::findCoverageRow(e.block).value()];
        EXPECT_EQ(row.assignedCount, e.total) << e.block;
        const std::uint32_t counted[] = {e.dejaVu, e.microHei, e.microHei};
        for (std::size_t face = 0; face < 3; ++face) {
            ASSERT_TRUE(catalog.faces[face].characterMap);
            const auto& map = *catalog.faces[face].characterMap;
            EXPECT_EQ(fontfile::countCommon(row.assigned, map.covered), counted[face]) << e.block << ", face " << face;
        }
    }
}

// What each font's character map covers of a few languages, and how many
// languages of the 753 it supports. Counted once by an independent route:
// fontTools 4.38's best cmap (glyph 0 left out) against a Python reading of
// the CLDR 48.2.0 JSON with the simple uppercase and categories of Debian's
// UnicodeData.txt.
TEST_F(RealFonts, LanguagesAreCoveredAsAnIndependentCountHasThem) {
    using coverage::LanguageLevel;
    struct Expected {
        const char* tag;
        LanguageLevel level;
        std::uint32_t total, dejaVu, microHei;
    };
    const Expected expected[] = {
        {"vi", LanguageLevel::base, 178, 178, 178},      {"yo", LanguageLevel::base, 77, 77, 72},
        {"yo", LanguageLevel::auxiliary, 87, 87, 82},    {"hi", LanguageLevel::base, 67, 0, 0},
        {"ko", LanguageLevel::base, 11172, 0, 11172},    {"ko", LanguageLevel::auxiliary, 11994, 0, 11927},
        {"zh", LanguageLevel::auxiliary, 3675, 0, 3675}, {"el", LanguageLevel::auxiliary, 182, 182, 69},
        {"ar", LanguageLevel::base, 45, 45, 0},
    };
    const auto catalog = inventory::buildCatalog({.folders = {{folder_.enginePath(), false}}, .characterMaps = true});
    ASSERT_EQ(catalog.faces.size(), 3u);
    const auto& dejaVu = catalog.faces.at(0).characterMap->covered;
    const auto& microHei = catalog.faces.at(1).characterMap->covered;
    for (const auto& e : expected) {
        const auto& language = coverage::languages()[coverage::findLanguage(e.tag).value()];
        const auto none = coverage::DecomposedForms::notCounted;
        const auto inDejaVu = coverage::measureLanguage(language, e.level, dejaVu, none);
        const auto inMicroHei = coverage::measureLanguage(language, e.level, microHei, none);
        EXPECT_EQ(inDejaVu.total, e.total) << e.tag;
        EXPECT_EQ(inDejaVu.covered, e.dejaVu) << e.tag;
        EXPECT_EQ(inMicroHei.covered, e.microHei) << e.tag;
    }
    const auto supported = [](const std::vector<fontfile::CodePointRange>& mapped, LanguageLevel level) {
        return coverage::supportedLanguages(mapped, level, coverage::DecomposedForms::notCounted).count();
    };
    EXPECT_EQ(supported(dejaVu, LanguageLevel::base), 618u);
    EXPECT_EQ(supported(dejaVu, LanguageLevel::auxiliary), 611u);
    EXPECT_EQ(supported(microHei, LanguageLevel::base), 490u);
    EXPECT_EQ(supported(microHei, LanguageLevel::auxiliary), 415u);
}

}  // namespace
