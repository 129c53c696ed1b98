#include "coverage/languages.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
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

std::uint32_t countOf(std::span<const CodePointRange> runs) {
    std::uint32_t n = 0;
    for (const auto& run : runs) n += run.size();
    return n;
}

bool maps(std::span<const CodePointRange> mapped, char32_t c) {
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
    return std::all_of(parts.begin(), parts.end(), [&](char32_t part) { return maps(mapped, part); });
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

// A requirement shared by every language whose sets give it.
struct Requirement {
    std::vector<CodePointRange> required;
    std::vector<std::string_view> scripts;
    std::vector<std::uint16_t> languages;  // indices into languages()
};

struct LanguageTable {
    std::array<std::vector<Requirement>, 2> requirements;  // by level
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
    std::vector<std::pair<std::size_t, std::size_t>> chosen;
    const auto locales = cldrLocales();
    for (std::size_t i = 0; i < locales.size(); ++i) {
        const auto& locale = locales[i];
        auto [base, newBase] = baseOf.try_emplace(locale.mainSet, baseLevel.size());
        if (newBase) baseLevel.push_back({bySet[locale.mainSet]});
        auto [auxiliary, newAuxiliary] =
            auxiliaryOf.try_emplace({locale.mainSet, locale.auxiliarySet}, auxiliaryLevel.size());
        if (newAuxiliary) auxiliaryLevel.push_back({merged(bySet[locale.mainSet], bySet[locale.auxiliarySet])});
        baseLevel[base->second].languages.push_back(static_cast<std::uint16_t>(i));
        auxiliaryLevel[auxiliary->second].languages.push_back(static_cast<std::uint16_t>(i));
        chosen.emplace_back(base->second, auxiliary->second);
    }
    for (auto& level : table.requirements) {
        for (auto& requirement : level) requirement.scripts = scriptsOf(requirement.required);
    }
    // The requirements are complete and stay put: the languages can point
    // into them.
    const auto view = [](const Requirement& r) {
        return LanguageRequirement{r.required, countOf(r.required), r.scripts};
    };
    for (std::size_t i = 0; i < locales.size(); ++i) {
        table.languages.push_back({locales[i].tag, locales[i].name, view(baseLevel[chosen[i].first]),
                                   view(auxiliaryLevel[chosen[i].second])});
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
    const auto writesAll = [&](char32_t first, char32_t last) {
        if (decomposed == DecomposedForms::notCounted) return false;
        for (auto c = first;; ++c) {
            if (!mapsDecomposition(mapped, c)) return false;
            if (c == last) return true;
        }
    };
    LanguageSet supported;
    for (const auto& requirement : languageTable().requirements[static_cast<std::size_t>(level)]) {
        if (requirement.required.empty() || !forEachMissingRun(requirement.required, mapped, writesAll)) continue;
        for (const auto language : requirement.languages) supported.set(language);
    }
    return supported;
}

bool coversCharacter(std::span<const CodePointRange> mapped, char32_t c, DecomposedForms decomposed) {
    return maps(mapped, c) || (decomposed == DecomposedForms::counted && mapsDecomposition(mapped, c));
}

}  // namespace coverage
