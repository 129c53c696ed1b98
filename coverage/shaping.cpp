#include "coverage/shaping.h"

#include <algorithm>
#include <optional>

#include "coverage/character_data.h"
#include "coverage/character_properties.h"

namespace coverage {

namespace {

using fontfile::CodePointRange;
using fontfile::Tag;

// The scripts the layout tables are looked up by, and what each needs.
//
// The tags are those of the OpenType script tag registry ("Script tags",
// Microsoft Learn, Typography > OpenType): for the Indic scripts and Myanmar
// the second-generation tag first (dev2, mym2), which a shaper prefers when a
// font has both.
//
// The features are the ones Microsoft's script development documents
// (https://learn.microsoft.com/typography/script-development/) list as
// applied for each script, kept to those a font of the script cannot do
// without: a font that lacks them sets the script wrong rather than plainly.
// - The joining scripts: the positional forms init medi fina (arabic.md,
//   syriac.md, use.md). Their isolated form is the nominal glyph, so isol is
//   needed only where it is not: Mongolian (mongolian.md), whose nominal
//   forms are not the isolated ones. Noto Naskh Arabic and Noto Kufi Arabic
//   declare no isol, and need none.
// - The Indic scripts (devanagari.md, bengali.md, gurmukhi.md, gujarati.md,
//   oriya.md, tamil.md, telugu.md, kannada.md, malayalam.md): the basic
//   shaping forms each script's consonant clusters use (akhn for its
//   conjuncts, rphf reph, blwf below-base, half half forms, pstf post-base)
//   and the mark positioning above and below the base (abvm, blwm).
// - Sinhala (sinhala.md): akhn and blwm. Khmer (khmer.md): pref blwf abvf
//   pstf, abvm blwm. Myanmar (myanmar.md): blwf, mark. Tibetan (tibetan.md):
//   blws, mark. Thai and Lao (thai-lao.md): mark, their vowels and tone
//   marks stacking above and below.
// Checked against the Noto fonts of each script, which declare all of them.
//
// The scripts without features of their own are here for their tags: their
// combining marks need `mark` under them.
constexpr ShapingScript kScripts[] = {
    {"Arabic", "arab", "init,medi,fina", ""},
    {"Syriac", "syrc", "init,medi,fina", ""},
    {"Mongolian", "mong", "isol,init,medi,fina", ""},
    {"Nko", "nko ", "init,medi,fina", ""},
    {"Adlam", "adlm", "init,medi,fina", ""},
    {"Mandaic", "mand", "init,medi,fina", ""},
    {"Manichaean", "mani", "init,medi,fina", ""},
    {"Psalter_Pahlavi", "phlp", "init,medi,fina", ""},
    {"Hanifi_Rohingya", "rohg", "init,medi,fina", ""},
    {"Sogdian", "sogd", "init,medi,fina", ""},
    {"Phags_Pa", "phag", "init,medi,fina", ""},
    {"Devanagari", "dev2,deva", "akhn,rphf,blwf,half", "abvm,blwm"},
    {"Bengali", "bng2,beng", "akhn,rphf,blwf,half,pstf", "abvm,blwm"},
    {"Gurmukhi", "gur2,guru", "blwf,pstf", "abvm,blwm"},
    {"Gujarati", "gjr2,gujr", "akhn,rphf,blwf,half", "abvm,blwm"},
    {"Oriya", "ory2,orya", "akhn,rphf,blwf,pstf", "abvm,blwm"},
    {"Tamil", "tml2,taml", "akhn", "abvm,blwm"},
    {"Telugu", "tel2,telu", "akhn,rphf,blwf", "blwm"},
    {"Kannada", "knd2,knda", "akhn,rphf,blwf", "blwm"},
    {"Malayalam", "mlm2,mlym", "akhn,pstf", "abvm"},
    {"Sinhala", "sinh", "akhn", "blwm"},
    {"Khmer", "khmr", "pref,blwf,abvf,pstf", "abvm,blwm"},
    {"Myanmar", "mym2,mymr", "blwf", "mark"},
    {"Tibetan", "tibt", "blws", "mark"},
    {"Thai", "thai", "", "mark"},
    {"Lao", "lao ", "", "mark"},
    {"Latin", "latn", "", ""},
    {"Greek", "grek", "", ""},
    {"Cyrillic", "cyrl", "", ""},
    {"Armenian", "armn", "", ""},
    {"Hebrew", "hebr", "", ""},
    {"Georgian", "geor", "", ""},
    {"Ethiopic", "ethi", "", ""},
    {"Cherokee", "cher", "", ""},
    {"Thaana", "thaa", "", ""},
    {"Han", "hani", "", ""},
    {"Hiragana", "kana", "", ""},
    {"Katakana", "kana", "", ""},
    {"Hangul", "hang", "", ""},
    {"Bopomofo", "bopo", "", ""},
    {"Yi", "yi  ", "", ""},
    {"Canadian_Aboriginal", "cans", "", ""},
    {"Coptic", "copt", "", ""},
    {"Tifinagh", "tfng", "", ""},
    {"Vai", "vai ", "", ""},
    {"Lisu", "lisu", "", ""},
    {"Glagolitic", "glag", "", ""},
    {"Samaritan", "samr", "", ""},
};

constexpr std::size_t kAnyScript = std::size(kScripts);

// Characters that belong to a script but need none of its features:
// presentation forms, which are the forms shaping gives (Joining_Type U).
constexpr CodePointRange kShapedAlready[] = {
    {0xFB50, 0xFDFF},  // Arabic Presentation Forms-A
    {0xFE70, 0xFEFF},  // Arabic Presentation Forms-B
};

// Marks that no GPOS positions: the variation selectors pick a glyph, and
// Mongolian's own marks (U+1885, U+1886, U+18A9) are shaped into forms of
// their own by its GSUB.
constexpr CodePointRange kNeverPositioned[] = {
    {0x180B, 0x180F},    // Mongolian free variation selectors
    {0x1885, 0x1886},    // Mongolian Ali Gali baluda
    {0x18A9, 0x18A9},    // Mongolian Ali Gali dagalga
    {0xFE00, 0xFE0F},    // variation selectors
    {0xE0100, 0xE01EF},  // variation selectors supplement
};

bool within(std::span<const CodePointRange> runs, char32_t c) {
    return std::any_of(runs.begin(), runs.end(),
                       [c](const CodePointRange& run) { return run.first <= c && c <= run.last; });
}
constexpr Tag kDefaultScript = fontfile::tagOf("DFLT");

// The tags of a comma-separated list: "dev2,deva", "akhn,rphf".
std::vector<Tag> tagsOf(std::string_view list) {
    std::vector<Tag> tags;
    while (!list.empty()) {
        const auto comma = list.find(',');
        const auto word = list.substr(0, comma);
        Tag tag{' ', ' ', ' ', ' '};
        std::copy_n(word.begin(), std::min<std::size_t>(word.size(), tag.size()), tag.begin());
        tags.push_back(tag);
        list = comma == std::string_view::npos ? std::string_view() : list.substr(comma + 1);
    }
    return tags;
}

// Each script's tags and features as tags, parsed once from the table.
struct ParsedScript {
    std::vector<Tag> tags, gsub, gpos;
};
const ParsedScript& parsed(std::size_t entry) {
    static const auto table = [] {
        std::vector<ParsedScript> scripts;
        for (const auto& script : kScripts)
            scripts.push_back({tagsOf(script.tags), tagsOf(script.gsub), tagsOf(script.gpos)});
        return scripts;
    }();
    return table[entry];
}

// kScripts' index of each Unicode script, kAnyScript for one it lacks.
std::size_t entryOfScript(std::size_t unicodeScript) {
    static const auto entries = [] {
        const auto names = scriptNames();
        std::vector<std::size_t> table(names.size(), kAnyScript);
        for (std::size_t i = 0; i < names.size(); ++i) {
            for (std::size_t entry = 0; entry < kAnyScript; ++entry) {
                if (kScripts[entry].script == names[i]) table[i] = entry;
            }
        }
        return table;
    }();
    return unicodeScript < entries.size() ? entries[unicodeScript] : kAnyScript;
}

// A Script value that is no script of its own: punctuation, digits and
// symbols (Common), inherited marks, unassigned code points.
bool sharedScript(std::string_view name) { return name == "Common" || name == "Inherited" || name == "Unknown"; }

constexpr Tag kMark = fontfile::tagOf("mark");

bool writesWithCombiningMarks(const ShapingScript& script) {
    return script.script == "Latin" || script.script == "Greek" || script.script == "Cyrillic";
}

// The characters asked for, sorted into the scripts they need features of.
class NeedCollector {
public:
    void take(char32_t c) {
        const auto script = scriptIndex(c);
        const auto name = scriptNames()[script];
        const auto entry = entryOfScript(script);
        if (!sharedScript(name)) {
            textScripts_.insert(entry);
            if (entry != kAnyScript && kScripts[entry].needsShaping() && !within(kShapedAlready, c)) add(entry, c);
        }
        if (!isNonspacingMark(c) || within(kNeverPositioned, c)) return;
        if (!sharedScript(name)) {
            // A mark of a script of its own: that script's, or anywhere when
            // the script has no tag here.
            if (entry == kAnyScript || !kScripts[entry].positionsItsMarks()) addMark(entry, c);
            return;
        }
        inheritedMarks_.push_back({c, c});
    }

    ShapingNeeds finish() {
        // Inherited marks (U+0300-036F and the like) sit on the text's other
        // characters. Which ones a set of code points cannot tell, so they go
        // to the scripts that write with them: Latin, Greek and Cyrillic when
        // the text has any; else each script of the text that does not
        // position its marks with features of its own; else any script.
        std::vector<std::size_t> hosts;
        for (const auto entry : textScripts_.entries) {
            if (entry != kAnyScript && writesWithCombiningMarks(kScripts[entry])) hosts.push_back(entry);
        }
        if (hosts.empty()) {
            for (const auto entry : textScripts_.entries) {
                if (entry == kAnyScript || !kScripts[entry].positionsItsMarks()) hosts.push_back(entry);
            }
        }
        if (hosts.empty() && textScripts_.entries.empty()) hosts.push_back(kAnyScript);
        for (const auto entry : hosts) {
            for (const auto& run : inheritedMarks_) addMarkRun(entry, run);
        }
        ShapingNeeds result;
        std::sort(uses_.begin(), uses_.end(), [](const auto& a, const auto& b) { return a.entry < b.entry; });
        for (auto& use : uses_) {
            if (use.entry != kAnyScript) {
                for (const auto& feature : parsed(use.entry).gsub)
                    result.needs.push_back({use.entry, LayoutTableKind::gsub, feature});
                for (const auto& feature : parsed(use.entry).gpos)
                    result.needs.push_back({use.entry, LayoutTableKind::gpos, feature});
            }
            if (use.mark && !declaresMarkItself(use.entry))
                result.needs.push_back({use.entry, LayoutTableKind::gpos, kMark});
            result.uses.push_back({use.entry, fontfile::sortedAndMerged(std::move(use.codePoints))});
        }
        // A script may have been asked for only for its marks.
        std::erase_if(result.uses, [&](const ShapingNeeds::Use& use) {
            return std::none_of(result.needs.begin(), result.needs.end(),
                                [&](const ShapingNeed& need) { return need.script == use.script; });
        });
        return result;
    }

private:
    struct Pending {
        std::size_t entry = 0;
        bool mark = false;  // a combining mark needs `mark` under it
        std::vector<CodePointRange> codePoints;
    };

    // A small set of entries, in the order they came.
    struct EntrySet {
        std::vector<std::size_t> entries;
        bool contains(std::size_t entry) const {
            return std::find(entries.begin(), entries.end(), entry) != entries.end();
        }
        void insert(std::size_t entry) {
            if (!contains(entry)) entries.push_back(entry);
        }
    };

    static bool declaresMarkItself(std::size_t entry) {
        if (entry == kAnyScript) return false;
        const auto& gpos = parsed(entry).gpos;
        return std::find(gpos.begin(), gpos.end(), kMark) != gpos.end();
    }

    Pending& pending(std::size_t entry) {
        for (auto& use : uses_) {
            if (use.entry == entry) return use;
        }
        return uses_.emplace_back(Pending{.entry = entry});
    }

    void add(std::size_t entry, char32_t c) { addRun(pending(entry), {c, c}); }
    void addMark(std::size_t entry, char32_t c) { addMarkRun(entry, {c, c}); }
    void addMarkRun(std::size_t entry, const CodePointRange& run) {
        auto& use = pending(entry);
        use.mark = true;
        addRun(use, run);
    }
    static void addRun(Pending& use, const CodePointRange& run) {
        if (!use.codePoints.empty() && use.codePoints.back().last + 1 == run.first) {
            use.codePoints.back().last = run.last;
        } else {
            use.codePoints.push_back(run);
        }
    }

    std::vector<Pending> uses_;
    EntrySet textScripts_;
    std::vector<CodePointRange> inheritedMarks_;
};

// The script a shaper would read `table` under for kScripts[entry]: its
// first tag there, else DFLT; null when the table has neither. `shownAs`
// becomes the tag found, else the script's first. For marks looked for
// anywhere, null and DFLT: every script is read.
const fontfile::LayoutScript* chosenScript(const fontfile::LayoutTable& table, std::size_t entry, Tag& shownAs) {
    if (entry == kAnyScript) {
        shownAs = kDefaultScript;
        return nullptr;
    }
    const auto& tags = parsed(entry).tags;
    shownAs = tags.front();
    for (const auto& tag : tags) {
        if (const auto* script = table.findScript(tag)) {
            shownAs = tag;
            return script;
        }
    }
    // Named by the script's own tag still: what the font lacks is for it.
    return table.findScript(kDefaultScript);
}

bool declaresAnywhere(const fontfile::LayoutTable& table, const Tag& feature) {
    return std::any_of(table.scripts.begin(), table.scripts.end(), [&](const fontfile::LayoutScript& script) {
        return fontfile::declares(script.features, feature);
    });
}

std::optional<MissingFeature> undeclared(const ShapingNeed& need, const fontfile::LayoutTables& layout) {
    const auto& table = need.table == LayoutTableKind::gsub ? layout.gsub : layout.gpos;
    Tag shownAs{};
    const auto* script = chosenScript(table, need.script, shownAs);
    const bool declared = need.script == kAnyScript ? declaresAnywhere(table, need.feature)
                                                    : script && fontfile::declares(script->features, need.feature);
    if (declared) return std::nullopt;
    return MissingFeature{shownAs, need.feature};
}

}  // namespace

bool ShapingScript::positionsItsMarks() const { return !gpos.empty(); }

std::span<const ShapingScript> shapingScripts() { return kScripts; }

ShapingNeeds shapingNeedsOf(std::span<const CodePointRange> codePoints) {
    NeedCollector collector;
    for (const auto& run : codePoints) {
        for (auto c = run.first;; ++c) {
            collector.take(c);
            if (c == run.last) break;
        }
    }
    return collector.finish();
}

std::vector<MissingFeature> undeclaredFeatures(const ShapingNeeds& needs, const fontfile::LayoutTables& layout) {
    std::vector<MissingFeature> missing;
    for (const auto& need : needs.needs) {
        if (const auto feature = undeclared(need, layout)) missing.push_back(*feature);
    }
    return missing;
}

std::vector<CodePointRange> unusableCodePoints(const ShapingNeeds& needs, const fontfile::LayoutTables& layout) {
    std::vector<CodePointRange> unusable;
    for (const auto& use : needs.uses) {
        const bool failing = std::any_of(needs.needs.begin(), needs.needs.end(), [&](const ShapingNeed& need) {
            return need.script == use.script && undeclared(need, layout);
        });
        if (failing) unusable.insert(unusable.end(), use.codePoints.begin(), use.codePoints.end());
    }
    return fontfile::sortedAndMerged(std::move(unusable));
}

std::string featureName(const MissingFeature& missing) {
    using fontfile::TagPadding;
    return fontfile::printableTag(missing.script, TagPadding::trimmed) + ":" +
           fontfile::printableTag(missing.feature, TagPadding::trimmed);
}

}  // namespace coverage
