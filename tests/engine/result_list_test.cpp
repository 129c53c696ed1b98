// The order of the result list. The cases below run natively, where the
// list compares with compareInWordSort, and under Wine, where it compares as
// the system does: the same expectations hold for both. Under Wine the
// comparison made here is also checked against the system's, pair by pair.
#include "selection/result_list.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ascii.h"

namespace {

using Lines = std::vector<std::string>;
using selection::compareInWordSort;
using selection::SortedLineList;

Lines sorted(const Lines& lines, SortedLineList::Comparison compare = selection::compareInListOrder) {
    SortedLineList list(compare);
    for (const auto& line : lines) list.addString(line);
    return list.lines();
}

// ---- The word sort -----------------------------------------------------------

TEST(WordSort, HyphensAndApostrophesCountOnlyBetweenLinesOtherwiseAlike) {
    // "B" of Bhaiksuki before "B-o" of Bold once the hyphen is passed over.
    EXPECT_EQ(sorted({"   (NotoSans-Bold.ttf)", "   (NotoSansBhaiksuki-Regular.ttf)"}),
              (Lines{"   (NotoSansBhaiksuki-Regular.ttf)", "   (NotoSans-Bold.ttf)"}));
    // Alike but for them: the line without comes first, and an apostrophe
    // before a hyphen at the same place.
    EXPECT_EQ(sorted({"cop", "co-op", "coop", "co'op"}), (Lines{"coop", "co'op", "co-op", "cop"}));
    EXPECT_EQ(sorted({"O-Brien", "OBrien", "O'Brien", "Obrian"}), (Lines{"Obrian", "OBrien", "O'Brien", "O-Brien"}));
}

TEST(WordSort, AHyphenStandingEarlierPutsItsLineLater) {
    EXPECT_EQ(sorted({"-ab", "a-b", "ab", "ab-"}), (Lines{"ab", "ab-", "a-b", "-ab"}));
    EXPECT_EQ(sorted({"a-'b", "a'-b"}), (Lines{"a'-b", "a-'b"}));
}

TEST(WordSort, MoreHyphensComeLater) { EXPECT_EQ(sorted({"a--b", "a-b-", "a-b"}), (Lines{"a-b", "a-b-", "a--b"})); }

TEST(WordSort, ControlCharactersCountOnlyAtTheEndButTabToCarriageReturnAsBlanks) {
    EXPECT_EQ(sorted({"a\x01", "a\x7F", "a", "a-"}), (Lines{"a", "a\x01", "a\x7F", "a-"}));
    EXPECT_EQ(sorted({"a\001b", "ac", "ab"}), (Lines{"ab", "a\001b", "ac"}));  // control character 1, then b
    EXPECT_EQ(sorted({"a!b", "a\tb", "a b", "a\rb"}), (Lines{"a b", "a\tb", "a\rb", "a!b"}));
}

TEST(WordSort, BlanksAndPunctuationThenSymbolsThenDigitsThenLetters) {
    EXPECT_EQ(sorted({"a", "0", "_", "+", " ", "~", "Z", "9", "!", "(", ")", "=", "[", "`"}),
              (Lines{" ", "!", "(", ")", "[", "_", "`", "~", "+", "=", "0", "9", "a", "Z"}));
    // Digits compare one by one, not as numbers.
    EXPECT_EQ(sorted({"Font 10", "Font 9", "Font 1"}), (Lines{"Font 1", "Font 10", "Font 9"}));
}

TEST(WordSort, AShorterLineComesBeforeTheLinesItBegins) {
    EXPECT_EQ(sorted({"Arial Black", "arial", "Arial   (arial.ttf)", "Arial  (arial.ttc)", ""}),
              (Lines{"", "arial", "Arial   (arial.ttf)", "Arial  (arial.ttc)", "Arial Black"}));
}

TEST(WordSort, LettersInEitherCaseAreAlike) {
    EXPECT_EQ(sorted({"cherry", "Banana", "apple", "Date"}), (Lines{"apple", "Banana", "cherry", "Date"}));
    EXPECT_EQ(compareInWordSort("DejaVu Sans-Bold", "dejavu sans-BOLD"), 0);
    EXPECT_EQ(compareInWordSort("", ""), 0);
    EXPECT_LT(compareInWordSort("a-b", "A-C"), 0);
}

TEST(WordSort, BytesAbove127ComeAfterEveryAsciiCharacterByTheirValue) {
    EXPECT_EQ(sorted({"\xE9t\xE9", "zebra", "~tilde", "\x80", "Zulu", "e"}, compareInWordSort),
              (Lines{"~tilde", "e", "zebra", "Zulu", "\x80", "\xE9t\xE9"}));
}

// ---- Placing each line as the list box does ------------------------------------

TEST(ListBoxInsertion, LinesAlikeButForCaseStandAsTheListBoxSearchLeftThem) {
    // The order a sorted list box showed under Wine 8 for these lines added
    // in this order: neither by their bytes nor by when they came.
    EXPECT_EQ(sorted({"ab", "AB", "Ab", "aB", "ab", "AB", "b", "a", "B", "A", "ab"}),
              (Lines{"A", "a", "Ab", "ab", "ab", "AB", "aB", "AB", "ab", "B", "b"}));
}

TEST(ListBoxInsertion, ReadingBetweenAdditionsChangesNoPlace) {
    const Lines added{"Twin", "x", "TWIN", "twin", "y", "tWiN", "Twin", "a", "TwiN"};
    SortedLineList list;
    for (const auto& line : added) {
        list.addString(line);
        (void)list.lines();
    }
    EXPECT_EQ(list.lines(), sorted(added));
    EXPECT_EQ(list.lines(), (Lines{"a", "TWIN", "twin", "TwiN", "Twin", "tWiN", "Twin", "x", "y"}));
}

TEST(ListBoxInsertion, ResetEmptiesAndLaterLinesArePlacedAgain) {
    SortedLineList list;
    list.addString("b");
    list.addString("a");
    ASSERT_EQ(list.lines(), (Lines{"a", "b"}));
    list.addString("A");
    list.addString("B");
    EXPECT_EQ(list.lines(), (Lines{"A", "a", "B", "b"}));
    list.resetContent();
    EXPECT_TRUE(list.lines().empty());
    list.addString("c");
    EXPECT_EQ(list.lines(), (Lines{"c"}));
}

// The list box itself, line by line: a plain list of lines into which each
// new one is inserted where a binary search over the whole list ends, or
// before the first line alike with it that the search meets. The search
// looks at the middle of the first and last lines still in question.
Lines replayOfTheListBox(const Lines& added) {
    Lines list;
    for (const auto& line : added) {
        int first = 0, last = static_cast<int>(list.size()) - 1;
        while (first <= last) {
            const int middle = (first + last) / 2;
            const int result = selection::compareInListOrder(list[static_cast<std::size_t>(middle)], line);
            if (result == 0) {
                first = middle;
                break;
            }
            if (result > 0) {
                last = middle - 1;
            } else {
                first = middle + 1;
            }
        }
        list.insert(list.begin() + first, line);
    }
    return list;
}

TEST(ListBoxInsertion, PlacesEveryLineAsTheListBoxWouldOneByOne) {
    // Few letters in either case, short lines, the odd hyphen: many lines
    // alike but for case, each placed by where the others already stand.
    std::minstd_rand random(11);
    const std::string alphabet = "aAbBcC-";
    for (int round = 0; round < 300; ++round) {
        Lines added(1 + random() % 200);
        for (auto& line : added) {
            line.resize(1 + random() % 3);
            for (auto& c : line) c = alphabet[random() % alphabet.size()];
        }
        // Read now and then between additions too.
        SortedLineList list;
        for (const auto& line : added) {
            list.addString(line);
            if (random() % 50 == 0) (void)list.lines();
        }
        ASSERT_EQ(list.lines(), replayOfTheListBox(added)) << "round " << round;
    }
}

// The placing as it was first made, kept as the oracle of the faster one:
// the same classes and the same binary search, but each line inserted into
// its class by walking the class's chain to its rank, which is quadratic in
// the lines alike.
Lines chainPlacement(const Lines& added) {
    const auto count = static_cast<std::uint32_t>(added.size());
    std::vector<std::uint32_t> byText(count);
    for (std::uint32_t i = 0; i < count; ++i) byText[i] = i;
    std::stable_sort(byText.begin(), byText.end(), [&](std::uint32_t a, std::uint32_t b) {
        return selection::compareInListOrder(added[a], added[b]) < 0;
    });
    std::vector<std::uint32_t> classOf(count);
    std::uint32_t classes = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (i == 0 || selection::compareInListOrder(added[byText[i - 1]], added[byText[i]]) != 0) ++classes;
        classOf[byText[i]] = classes - 1;
    }
    std::vector<std::vector<std::uint32_t>> members(classes);
    for (std::uint32_t line = 0; line < count; ++line) {
        const auto own = classOf[line];
        std::uint32_t start = 0;
        for (std::uint32_t c = 0; c < own; ++c) start += static_cast<std::uint32_t>(members[c].size());
        const auto alike = static_cast<std::uint32_t>(members[own].size());
        std::uint32_t before = 0, low = 0, high = line;
        while (low < high) {
            const std::uint32_t middle = (low + high - 1) / 2;
            if (middle < start) {
                low = middle + 1;
            } else if (middle >= start + alike) {
                high = middle;
            } else {
                before = middle - start;
                break;
            }
        }
        members[own].insert(members[own].begin() + before, line);
    }
    Lines shown;
    for (const auto& inClass : members) {
        for (const auto line : inClass) shown.push_back(added[line]);
    }
    return shown;
}

TEST(ListBoxInsertion, AgreesWithTheChainPlacementOverLargeListsOfAlikeLines) {
    // Runs of one line, of lines alike but for case, and of a few classes
    // that interleave, in sizes where the ranks reach deep into the classes.
    std::minstd_rand random(18);
    const Lines spellings{"twin", "TWIN", "Twin", "tWiN", "tw-in", "tw'in", "a", "A", "zz"};
    for (int round = 0; round < 40; ++round) {
        const std::size_t kinds = 1 + random() % spellings.size();
        Lines added(1 + random() % 3000);
        for (auto& line : added) line = spellings[random() % kinds];
        const auto expected = chainPlacement(added);
        ASSERT_EQ(sorted(added), expected) << "round " << round;
        std::vector<std::string> byOrder;
        for (const auto at : selection::listBoxOrder(added)) byOrder.push_back(added[at]);
        ASSERT_EQ(byOrder, expected) << "round " << round;
    }
}

TEST(ListBoxInsertion, TheChainPlacementOracleIsTheListBoxItself) {
    std::minstd_rand random(5);
    for (int round = 0; round < 50; ++round) {
        Lines added(1 + random() % 300);
        for (auto& line : added) line = std::string(1 + random() % 2, "aAb"[random() % 3]);
        ASSERT_EQ(chainPlacement(added), replayOfTheListBox(added)) << "round " << round;
    }
}

// At most this many steps per line and per halving of the list: the search,
// then one count and one walk down and one up the tree of free places.
constexpr std::uint64_t kStepsPerLineAndHalving = 5;

std::uint64_t halvings(std::size_t lines) {
    std::uint64_t count = 1;
    while ((std::size_t{1} << count) < lines) ++count;
    return count;
}

TEST(ListBoxInsertionWork, IdenticalAndCaseAlikeLinesCostNLogNNotAWalkPerLine) {
    // The lines 160,000 members naming one table directory give, and those
    // of 80,000 whose names differ only in case: each line would otherwise
    // walk up to half its class.
    Lines identical(160000, "Member  (shared.ttc)");
    Lines caseAlike(80000);
    for (std::size_t i = 0; i < caseAlike.size(); ++i)
        caseAlike[i] = i % 2 ? "member  (SHARED.ttc)" : "Member  (shared.TTC)";
    for (const auto* lines : {&identical, &caseAlike}) {
        selection::PlacementWork work;
        const auto order = selection::listBoxOrder(*lines, &work);
        ASSERT_EQ(order.size(), lines->size());
        const auto n = lines->size();
        EXPECT_LE(work.steps, kStepsPerLineAndHalving * n * halvings(n)) << n;
        EXPECT_LE(work.comparisons, 2 * n * halvings(n)) << n;
        // Every line once: the order is a permutation.
        std::vector<bool> seen(n, false);
        for (const auto at : order) {
            ASSERT_FALSE(seen[at]);
            seen[at] = true;
        }
    }
}

// Font lines as a large folder gives them: many alike but for case, many
// with hyphens. Deterministic: minstd_rand's values are fixed by the standard.
Lines manyFontLines(std::size_t count) {
    std::minstd_rand random(20240611);
    const std::vector<std::string> families{"Noto Sans", "NotoSans", "Noto-Sans", "DejaVu", "dejavu", "O'Font"};
    const std::vector<std::string> styles{"", "-Bold", " Bold", "Bold", "-bold", "Italic", "-Regular"};
    Lines lines;
    for (std::size_t i = 0; i < count; ++i) {
        std::string file = families[random() % families.size()] + styles[random() % styles.size()];
        if (random() % 2) std::transform(file.begin(), file.end(), file.begin(), platform::toUpperAscii);
        lines.push_back(families[random() % families.size()] + "   (" + file + std::to_string(random() % 500) +
                        ".ttf)");
    }
    return lines;
}

TEST(ListBoxInsertion, TwentyThousandLinesComeOutInOrderEachOnce) {
    const Lines added = manyFontLines(20000);
    const Lines shown = sorted(added);
    ASSERT_EQ(shown.size(), added.size());
    for (std::size_t i = 1; i < shown.size(); ++i) {
        ASSERT_LE(selection::compareInListOrder(shown[i - 1], shown[i]), 0) << i;
    }
    Lines a = added, b = shown;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
}

#ifdef _WIN32
// ---- The word sort made here against the system's own ---------------------------

int systemCompare(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), static_cast<int>(a.size()), b.c_str(),
                          static_cast<int>(b.size())) -
           CSTR_EQUAL;
}

std::string shown(const std::string& text) {
    std::string out;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            const char* const digits = "0123456789ABCDEF";
            out += std::string("\\x") + digits[c >> 4] + digits[c & 15];
        }
    }
    return "\"" + out + "\"";
}

int sign(int value) { return (value > 0) - (value < 0); }

// Counts the pairs that compare otherwise than the system compares them, and
// reports the first few.
class AgainstTheSystem {
public:
    void check(const std::string& a, const std::string& b) {
        ++pairs_;
        const int expected = systemCompare(a, b);
        const int made = sign(compareInWordSort(a, b));
        if (made != expected && ++differing_ <= 10) {
            ADD_FAILURE() << shown(a) << " against " << shown(b) << ": system " << expected << ", made here " << made;
        }
    }
    int pairs() const { return pairs_; }
    int differing() const { return differing_; }

private:
    int pairs_ = 0;
    int differing_ = 0;
};

TEST(WordSortAgainstTheSystem, EveryPairOfAsciiCharacters) {
    AgainstTheSystem check;
    for (int a = 0; a < 128; ++a) {
        for (int b = 0; b < 128; ++b) {
            // NUL only inside a line: the list box never sees one at all.
            const std::string first = a ? std::string(1, static_cast<char>(a)) : std::string();
            const std::string second = b ? std::string(1, static_cast<char>(b)) : std::string();
            check.check(first, second);
            check.check("x" + first + "y", "x" + second + "y");
        }
    }
    EXPECT_EQ(check.pairs(), 2 * 128 * 128);
    EXPECT_EQ(check.differing(), 0);
}

// Lines from a small alphabet heavy in what the word sort treats apart, each
// against an unrelated line and against a near copy of itself, so that many
// pairs are alike at the first level and go to the later ones.
TEST(WordSortAgainstTheSystem, GeneratedLines) {
    const std::string alphabet = "--''  ()aAbBzZ09._[`~+!\x01\x1F\x7F\t";
    std::minstd_rand random(7);
    const auto pick = [&] { return alphabet[random() % alphabet.size()]; };
    const auto line = [&] {
        std::string text(random() % 9, ' ');
        for (auto& c : text) c = pick();
        return text;
    };
    const auto nearCopy = [&](std::string text) {
        const std::size_t at = text.empty() ? 0 : random() % text.size();
        switch (random() % 4) {
            case 0:  // its letters in the other case
                for (auto& c : text) c = static_cast<char>(std::isupper(c) ? std::tolower(c) : std::toupper(c));
                break;
            case 1:
                text.insert(at, 1, random() % 2 ? '-' : '\'');
                break;
            case 2:
                if (!text.empty()) text.erase(at, 1);
                break;
            default:
                if (!text.empty()) text[at] = pick();
                break;
        }
        return text;
    };

    AgainstTheSystem check;
    for (int i = 0; i < 3000; ++i) {
        const std::string a = line();
        check.check(a, line());
        const std::string b = nearCopy(a);
        check.check(a, b);
        check.check(b, a);
        check.check(a, a);
    }
    EXPECT_EQ(check.differing(), 0) << "of " << check.pairs();
}
#endif

}  // namespace
