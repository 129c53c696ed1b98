#include "coverage/languages.h"

#include <algorithm>
#include <array>
#include <bit>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "coverage/character_properties.h"
#include "coverage/edit_distance.h"
#include "coverage/exemplar_sets.h"
#include "platform/ascii.h"

namespace coverage {

namespace {

using fontfile::CodePointRange;

// The runs of `runs` less the code points of `removed`; both sorted and
// disjoint.
std::vector<CodePointRange> withoutRuns(const std::vector<CodePointRange>& runs,
                                        std::span<const CodePointRange> removed) {
    std::vector<CodePointRange> kept;
    std::size_t j = 0;
    for (auto run : runs) {
        while (j < removed.size() && removed[j].last < run.first) ++j;
        bool whole = true;
        for (auto k = j; k < removed.size() && removed[k].first <= run.last; ++k) {
            if (removed[k].first > run.first) kept.push_back({run.first, removed[k].first - 1});
            if (removed[k].last >= run.last) {
                whole = false;
                break;
            }
            run.first = std::max(run.first, static_cast<char32_t>(removed[k].last + 1));
        }
        if (whole) kept.push_back(run);
    }
    return kept;
}

bool mapsCodePoint(std::span<const CodePointRange> mapped, char32_t c) {
    const auto at =
        std::partition_point(mapped.begin(), mapped.end(), [c](const CodePointRange& r) { return r.last < c; });
    return at != mapped.end() && at->first <= c;
}

// A character the face does not map that it writes from the parts of its
// full canonical decomposition.
bool mapsDecomposition(std::span<const CodePointRange> mapped, char32_t c) {
    const auto decomposition = fullCanonicalDecomposition(c);
    const auto parts = decomposition.codePoints();
    if (parts.size() == 1 && parts[0] == c) return false;
    return std::all_of(parts.begin(), parts.end(), [&](char32_t part) { return mapsCodePoint(mapped, part); });
}

// Calls onMissing(first, last) for each run of `required` code points that
// `mapped` lacks, in increasing order, for as long as it returns true.
// Returns whether every such run was seen. Each step looks the next covered
// run up by binary search, so a face with many runs costs little more.
template <typename OnMissing>
bool forEachMissingRun(std::span<const CodePointRange> required, std::span<const CodePointRange> mapped,
                       OnMissing onMissing) {
    auto at = mapped.begin();
    for (const auto& run : required) {
        auto next = run.first;  // the first code point of `run` not yet accounted for
        while (true) {
            at = std::partition_point(at, mapped.end(), [next](const CodePointRange& r) { return r.last < next; });
            if (at != mapped.end() && at->first <= next) {
                if (at->last >= run.last) break;
                next = at->last + 1;
                continue;
            }
            const auto gapLast = (at == mapped.end() || at->first > run.last) ? run.last : at->first - 1;
            if (!onMissing(next, gapLast)) return false;
            if (gapLast == run.last) break;
            next = gapLast + 1;
        }
    }
    return true;
}

// The quick test of every language looks at the Basic Multilingual Plane,
// where nearly every language's letters lie, 64 code points at a time: a
// requirement holds there the words of the plane it touches, each with the
// bits of the code points it needs, and a face the bits of all it maps.
constexpr char32_t kPlaneSize = 0x10000;
constexpr std::size_t kWordBits = 64;
constexpr std::size_t kPlaneWords = kPlaneSize / kWordBits;

struct PlaneWord {
    std::uint16_t index;  // code points index * 64 to index * 64 + 63
    std::uint64_t bits;
};

// Calls f(word, bits) for each word of the plane that `run` (inside the
// plane) touches, with the bits of the run's code points in it.
template <typename F>
void forEachWord(CodePointRange run, F f) {
    for (auto first = run.first;;) {
        const auto word = first / kWordBits;
        const auto last = std::min<char32_t>(run.last, static_cast<char32_t>(word * kWordBits + kWordBits - 1));
        const auto width = last - first + 1;
        const auto ones = width == kWordBits ? ~std::uint64_t{0} : (std::uint64_t{1} << width) - 1;
        f(word, ones << (first % kWordBits));
        if (last == run.last) return;
        first = last + 1;
    }
}

// The words of the plane that `runs` touch, and the runs above the plane.
void splitAtPlane(std::span<const CodePointRange> runs, std::vector<PlaneWord>& words,
                  std::vector<CodePointRange>& above) {
    for (const auto& run : runs) {
        if (run.last >= kPlaneSize) above.push_back({std::max(run.first, kPlaneSize), run.last});
        if (run.first >= kPlaneSize) continue;
        forEachWord({run.first, std::min<char32_t>(run.last, kPlaneSize - 1)},
                    [&](std::size_t word, std::uint64_t bits) {
                        if (!words.empty() && words.back().index == word) {
                            words.back().bits |= bits;
                        } else {
                            words.push_back({static_cast<std::uint16_t>(word), bits});
                        }
                    });
    }
}

// What a face maps, for the one call of the quick test: the plane as bits
// (8 KiB, on the stack), above it the face's runs.
class MappedCodePoints {
public:
    explicit MappedCodePoints(std::span<const CodePointRange> mapped) : mapped_(mapped) {
        for (const auto& run : mapped) {
            if (run.first >= kPlaneSize) break;
            forEachWord({run.first, std::min<char32_t>(run.last, kPlaneSize - 1)},
                        [this](std::size_t word, std::uint64_t bits) { plane_[word] |= bits; });
        }
    }

    // The bits of `needed` that the face does not map.
    std::uint64_t lacking(const PlaneWord& needed) const { return needed.bits & ~plane_[needed.index]; }

    bool maps(char32_t c) const {
        return c < kPlaneSize ? ((plane_[c / kWordBits] >> (c % kWordBits)) & 1) != 0 : mapsCodePoint(mapped_, c);
    }

    std::span<const CodePointRange> runs() const { return mapped_; }

private:
    std::array<std::uint64_t, kPlaneWords> plane_{};
    std::span<const CodePointRange> mapped_;
};

// A requirement shared by every language whose sets give it. The quick test
// checks a requirement by what it adds to the largest one before it that it
// holds (its parent), tested before it: most languages of a script add a
// few letters to another's.
struct Requirement {
    std::vector<CodePointRange> required;
    std::uint32_t count = 0;
    std::vector<std::string_view> scripts;
    std::vector<std::uint16_t> languages;  // indices into languages()
    std::optional<std::size_t> parent;     // an index before this one in its level
    // What it requires beyond its parent, in the plane and above it.
    std::vector<PlaneWord> planeBeyondParent;
    std::vector<CodePointRange> aboveBeyondParent;
};

struct LanguageTable {
    std::array<std::vector<Requirement>, 2> requirements;  // by level, fewest required code points first
    std::vector<Language> languages;
};

std::vector<std::string_view> scriptsOf(std::span<const CodePointRange> required) {
    const auto names = scriptNames();
    std::vector<std::uint32_t> counts(names.size());
    for (const auto& run : required) {
        for (auto c = run.first;; ++c) {
            ++counts[scriptIndex(c)];
            if (c == run.last) break;
        }
    }
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (counts[i] > 0) order.push_back(i);
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return counts[a] > counts[b]; });
    const auto shared = [&](std::size_t i) { return names[i] == "Common" || names[i] == "Inherited"; };
    std::vector<std::string_view> scripts;
    for (const auto i : order) {
        if (!shared(i)) scripts.push_back(names[i]);
    }
    if (scripts.empty()) {
        for (const auto i : order) scripts.push_back(names[i]);
    }
    return scripts;
}

std::vector<CodePointRange> merged(std::vector<CodePointRange> a, const std::vector<CodePointRange>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return fontfile::sortedAndMerged(std::move(a));
}

bool holds(std::span<const CodePointRange> outer, std::span<const CodePointRange> inner) {
    return forEachMissingRun(inner, outer, [](char32_t, char32_t) { return false; });
}

// Orders a level's requirements by size and gives each its parent.
void linkRequirements(std::vector<Requirement>& level) {
    for (auto& requirement : level) requirement.count = fontfile::countOf(requirement.required);
    std::stable_sort(level.begin(), level.end(),
                     [](const Requirement& a, const Requirement& b) { return a.count < b.count; });
    for (std::size_t i = 0; i < level.size(); ++i) {
        auto& requirement = level[i];
        requirement.scripts = scriptsOf(requirement.required);
        auto beyondParent = requirement.required;
        for (auto j = i; j-- > 0;) {
            if (!holds(requirement.required, level[j].required)) continue;
            requirement.parent = j;
            beyondParent = withoutRuns(requirement.required, level[j].required);
            break;
        }
        splitAtPlane(beyondParent, requirement.planeBeyondParent, requirement.aboveBeyondParent);
    }
}

// A set the reader refuses requires nothing, and a language that requires
// nothing is supported by no face (LanguageCoverage::supported); the
// generator and the tests make sure that every set is read.
LanguageTable buildTable() {
    const auto sets = cldrExemplarSets();
    std::vector<std::vector<CodePointRange>> bySet;
    bySet.reserve(sets.size());
    for (const auto set : sets) bySet.push_back(requiredByExemplarSet(set).value_or(std::vector<CodePointRange>{}));

    LanguageTable table;
    auto& [baseLevel, auxiliaryLevel] = table.requirements;
    std::map<std::uint16_t, std::size_t> baseOf;
    std::map<std::pair<std::uint16_t, std::uint16_t>, std::size_t> auxiliaryOf;
    const auto locales = cldrLocales();
    for (std::size_t i = 0; i < locales.size(); ++i) {
        const auto& locale = locales[i];
        const auto [base, newBase] = baseOf.try_emplace(locale.mainSet, baseLevel.size());
        if (newBase) baseLevel.push_back({bySet[locale.mainSet]});
        const auto [auxiliary, newAuxiliary] =
            auxiliaryOf.try_emplace({locale.mainSet, locale.auxiliarySet}, auxiliaryLevel.size());
        if (newAuxiliary) auxiliaryLevel.push_back({merged(bySet[locale.mainSet], bySet[locale.auxiliarySet])});
        baseLevel[base->second].languages.push_back(static_cast<std::uint16_t>(i));
        auxiliaryLevel[auxiliary->second].languages.push_back(static_cast<std::uint16_t>(i));
    }
    // Complete and in their final order, the requirements stay put: the
    // languages can point into them.
    std::vector<std::array<const Requirement*, 2>> chosen(locales.size());
    for (std::size_t level = 0; level < table.requirements.size(); ++level) {
        linkRequirements(table.requirements[level]);
        for (const auto& requirement : table.requirements[level]) {
            for (const auto language : requirement.languages) chosen[language][level] = &requirement;
        }
    }
    const auto view = [](const Requirement* r) { return LanguageRequirement{r->required, r->count, r->scripts}; };
    for (std::size_t i = 0; i < locales.size(); ++i) {
        table.languages.push_back({locales[i].tag, locales[i].name, view(chosen[i][0]), view(chosen[i][1])});
    }
    return table;
}

const LanguageTable& languageTable() {
    static const LanguageTable table = buildTable();
    return table;
}

bool tagMatches(std::string_view tag, std::string_view word) {
    return std::equal(tag.begin(), tag.end(), word.begin(), word.end(), [](char t, char w) {
        return platform::toLowerAscii(t) == platform::toLowerAscii(w == '_' ? '-' : w);
    });
}

std::string asTag(std::string_view word) {
    std::string tag(word);
    std::replace(tag.begin(), tag.end(), '_', '-');
    return tag;
}

}  // namespace

std::span<const Language> languages() { return languageTable().languages; }

std::optional<std::size_t> findLanguage(std::string_view word) {
    const auto all = languages();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (tagMatches(all[i].tag, word)) return i;
    }
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (platform::equalIgnoringAsciiCase(all[i].name, word)) return i;
    }
    return std::nullopt;
}

std::vector<std::size_t> closestLanguages(std::string_view word, std::size_t count) {
    const auto all = languages();
    const auto tag = asTag(word);
    std::vector<std::pair<std::size_t, std::size_t>> ranked;  // distance, index
    ranked.reserve(all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
        ranked.emplace_back(
            std::min(editDistanceIgnoringAsciiCase(tag, all[i].tag), editDistanceIgnoringAsciiCase(word, all[i].name)),
            i);
    }
    const auto kept = std::min(count, ranked.size());
    std::partial_sort(ranked.begin(), ranked.begin() + static_cast<std::ptrdiff_t>(kept), ranked.end());
    std::vector<std::size_t> closest;
    for (std::size_t i = 0; i < kept; ++i) closest.push_back(ranked[i].second);
    return closest;
}

std::optional<std::vector<CodePointRange>> requiredByExemplarSet(std::string_view set) {
    auto items = exemplarCodePoints(set);
    if (!items) return std::nullopt;
    std::vector<CodePointRange> required = *items;
    for (const auto& run : *items) {
        for (auto c = run.first;; ++c) {
            if (const auto upper = simpleUppercase(c); upper != c) required.push_back({upper, upper});
            if (c == run.last) break;
        }
    }
    return withoutRuns(fontfile::sortedAndMerged(std::move(required)), formatCharacterRuns());
}

LanguageCoverage measureLanguage(const Language& language, LanguageLevel level, std::span<const CodePointRange> mapped,
                                 DecomposedForms decomposed, std::span<char32_t> firstMissing) {
    const auto& requirement = language.requirement(level);
    std::uint32_t missing = 0;
    LanguageCoverage coverage{0, requirement.count, 0};
    const auto note = [&](char32_t c) {
        ++missing;
        if (coverage.listed < firstMissing.size()) firstMissing[coverage.listed++] = c;
    };
    forEachMissingRun(requirement.required, mapped, [&](char32_t first, char32_t last) {
        for (auto c = first;; ++c) {
            if (decomposed == DecomposedForms::notCounted || !mapsDecomposition(mapped, c)) note(c);
            if (c == last) break;
        }
        return true;
    });
    coverage.covered = requirement.count - missing;
    return coverage;
}

LanguageSet supportedLanguages(std::span<const CodePointRange> mapped, LanguageLevel level,
                               DecomposedForms decomposed) {
    const MappedCodePoints face(mapped);
    const auto writesDecomposed = [&](char32_t c) {
        if (decomposed == DecomposedForms::notCounted) return false;
        const auto decomposition = fullCanonicalDecomposition(c);
        const auto parts = decomposition.codePoints();
        return (parts.size() > 1 || parts[0] != c) &&
               std::all_of(parts.begin(), parts.end(), [&](char32_t part) { return face.maps(part); });
    };
    const auto writesWord = [&](const PlaneWord& word) {
        auto lacking = face.lacking(word);
        for (; lacking != 0; lacking &= lacking - 1) {  // each bit lacking, lowest first
            const auto bit = static_cast<char32_t>(std::countr_zero(lacking));
            if (!writesDecomposed(static_cast<char32_t>(word.index * kWordBits) + bit)) return false;
        }
        return true;
    };
    const auto writesAbove = [&](const CodePointRange& run) {
        return forEachMissingRun(std::span(&run, 1), face.runs(), [&](char32_t first, char32_t last) {
            for (auto c = first;; ++c) {
                if (!writesDecomposed(c)) return false;
                if (c == last) return true;
            }
        });
    };
    const auto& requirements = languageTable().requirements[static_cast<std::size_t>(level)];
    // Indexed by requirement, of which there are no more than languages.
    LanguageSet passed;
    LanguageSet supported;
    for (std::size_t r = 0; r < requirements.size(); ++r) {
        const auto& requirement = requirements[r];
        if (requirement.required.empty() || (requirement.parent && !passed[*requirement.parent])) continue;
        const auto& words = requirement.planeBeyondParent;
        const auto& above = requirement.aboveBeyondParent;
        if (!std::all_of(words.begin(), words.end(), writesWord) ||
            !std::all_of(above.begin(), above.end(), writesAbove)) {
            continue;
        }
        passed[r] = true;
        for (const auto language : requirement.languages) supported[language] = true;
    }
    return supported;
}

bool coversCharacter(std::span<const CodePointRange> mapped, char32_t c, DecomposedForms decomposed) {
    return mapsCodePoint(mapped, c) || (decomposed == DecomposedForms::counted && mapsDecomposition(mapped, c));
}

}  // namespace coverage
