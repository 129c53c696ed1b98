// What the audit finds in a face's declared bits: blocks declared but barely
// covered, blocks covered but not declared, and bits its OS/2 version
// reserves or gives another meaning.
#include "coverage/audit.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using coverage::auditFace;
using coverage::Finding;
using coverage::FindingKind;
using fontfile::CodePointRange;

inventory::CatalogFace face(std::uint16_t version, std::vector<int> bits, std::vector<CodePointRange> covered) {
    inventory::CatalogFace f;
    f.os2Version = version;
    for (const int bit : bits) f.ranges[static_cast<std::size_t>(bit / 32)] |= 1u << (bit % 32);
    fontfile::CharacterMap map;
    map.outcome = fontfile::CharacterMap::Outcome::unicode;
    map.covered = std::move(covered);
    f.characterMap = std::make_shared<const fontfile::CharacterMap>(std::move(map));
    return f;
}

std::string describe(const Finding& finding) {
    return std::string(coverage::findingName(finding.kind)) + " " + std::to_string(finding.bit) + " " + finding.block +
           ": " + finding.detail;
}

std::vector<std::string> findings(const inventory::CatalogFace& f) {
    std::vector<std::string> out;
    for (const auto& finding : auditFace(f)) out.push_back(describe(finding));
    return out;
}

constexpr int kBasicLatin = 0, kCyrillic = 9, kBeyondPlane0 = 57, kKanbun = 53;

// Cyrillic has 256 assigned code points: 10% is 25.6, 50% is 128.
TEST(Audit, ADeclaredBlockIsSparseBelowTenPercent) {
    EXPECT_EQ(findings(face(4, {kCyrillic}, {{0x400, 0x418}})),  // 25
              std::vector<std::string>{"sparse 9 Cyrillic: 25/256 covered"});
    EXPECT_TRUE(findings(face(4, {kCyrillic}, {{0x400, 0x419}})).empty());  // 26
}

TEST(Audit, AnUndeclaredBlockCoveredFromHalfOnIsAFinding) {
    EXPECT_TRUE(findings(face(4, {}, {{0x400, 0x47E}})).empty());  // 127
    EXPECT_EQ(findings(face(4, {}, {{0x400, 0x47F}})),             // 128
              std::vector<std::string>{"undeclared 9 Cyrillic: 128/256 covered"});
}

// Bit 57 declares the planes beyond the first as a whole: one code point up
// there earns it.
TEST(Audit, Bit57IsEarnedByAnyOneCodePointBeyondTheBasicPlane) {
    EXPECT_EQ(findings(face(4, {kBeyondPlane0}, {{0x41, 0x5A}})).at(0).rfind("sparse 57 Surrogates: 0/", 0), 0u);
    EXPECT_TRUE(findings(face(4, {kBeyondPlane0}, {{0x1F600, 0x1F600}})).empty());
    EXPECT_EQ(findings(face(4, {}, {{0x1F600, 0x1F600}})).at(0).rfind("undeclared 57 Surrogates: 1/", 0), 0u);
}

// Bit 53 is Kanbun up to version 2, reserved in version 3 and Phags-pa from
// version 4 on; a changed bit is measured against its new meaning.
TEST(Audit, ReadsEachBitByTheFontsOs2Version) {
    const std::vector<CodePointRange> kanbun{{0x3190, 0x319F}};
    EXPECT_TRUE(findings(face(1, {kKanbun}, kanbun)).empty());
    EXPECT_EQ(findings(face(3, {kKanbun}, kanbun)),
              std::vector<std::string>{"reserved 53 Kanbun: OS/2 version 3 reserves this bit"});
    EXPECT_EQ(
        findings(face(4, {kKanbun}, kanbun)),
        (std::vector<std::string>{"changed 53 Kanbun: OS/2 version 4: Phags-pa", "sparse 53 Phags-pa: 0/56 covered"}));
    // Bits 84 and up mean nothing before version 3; a bit the block list
    // leaves out has no block list name.
    EXPECT_EQ(findings(face(2, {97}, {})), std::vector<std::string>{"reserved 97 : OS/2 version 2 reserves this bit"});
}

TEST(Audit, FindingsComeInBitOrderAndAFaceWithoutOs2HasNone) {
    const auto f = face(4, {kCyrillic}, {{0x20, 0x7E}, {0x1F600, 0x1F600}});
    const auto found = auditFace(f);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].bit, kBasicLatin);
    EXPECT_EQ(found[0].kind, FindingKind::undeclared);
    EXPECT_EQ(found[1].bit, kCyrillic);
    EXPECT_EQ(found[1].kind, FindingKind::sparse);
    EXPECT_EQ(found[2].bit, kBeyondPlane0);

    auto noOs2 = f;
    noOs2.os2Version.reset();
    EXPECT_TRUE(auditFace(noOs2).empty());
}

}  // namespace
