// Shaping readiness: whether a font's OpenType layout declares the features
// that the scripts of some characters need before a shaper can set them.
// Arabic needs its positional forms, Devanagari its conjuncts and reph, and a
// text with combining marks needs them positioned.
//
// "Declares" is all it tells. A feature in the layout's lists says nothing of
// whether its lookups are right, or cover the characters asked for.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fontfile/code_points.h"
#include "fontfile/layout_tables.h"
#include "fontfile/sfnt.h"

namespace coverage {

enum class LayoutTableKind { gsub, gpos };

// A script as the layout tables know it.
struct ShapingScript {
    std::string_view script;  // its Unicode Script value: "Devanagari"
    std::string_view tags;    // its OpenType script tags, new ones first, separated by commas: "dev2,deva"
    std::string_view gsub;    // the GSUB features a font must declare for it: "akhn,rphf,blwf,half"
    std::string_view gpos;    // the GPOS features: "abvm,blwm"

    // Whether it needs features of its own, beyond the marks of a text.
    bool needsShaping() const { return !gsub.empty() || !gpos.empty(); }
    // Whether its GPOS features (abvm, blwm, mark) already position its
    // combining marks, so that they need nothing more.
    bool positionsItsMarks() const;
};

// Every script with a tag the layout tables are looked up by.
std::span<const ShapingScript> shapingScripts();

// A feature that some of the characters need, under one script's tags.
struct ShapingNeed {
    // In shapingScripts(); the end of it for combining marks whose script
    // is not known to it: those are looked for under any script.
    std::size_t script = 0;
    LayoutTableKind table = LayoutTableKind::gsub;
    fontfile::Tag feature{};
};

// What a set of characters needs of a font's layout, and which of those
// characters each script is needed for.
struct ShapingNeeds {
    std::vector<ShapingNeed> needs;  // by script, then table, then the order the table lists
    // For each script with needs (by index in shapingScripts(), the end of it
    // for marks looked for anywhere): the characters it is needed for, so that
    // a font that does not declare it can still be used for the others.
    struct Use {
        std::size_t script = 0;
        std::vector<fontfile::CodePointRange> codePoints;
    };
    std::vector<Use> uses;

    bool empty() const { return needs.empty(); }
};

// The needs of `codePoints` (sorted, merged runs):
// - each character of a script that needs shaping brings that script's
//   features;
// - each combining mark (General_Category Mn) needs GPOS `mark`, unless its
//   own script positions its marks with features of its own. A mark of a
//   script of its own (Hebrew points, Thai vowels) needs it under that
//   script; an inherited one (U+0301) under Latin, Greek and Cyrillic when
//   the other characters have any of them, else under each of their scripts
//   that does not position its own marks, or under any script when they
//   have none.
ShapingNeeds shapingNeedsOf(std::span<const fontfile::CodePointRange> codePoints);

// A feature a font's layout does not declare, named by the script's tag a
// shaper would look in: the first of its tags the table has, else its first
// (the shaper then reads DFLT). Marks looked for under any script: DFLT.
struct MissingFeature {
    fontfile::Tag script{};
    fontfile::Tag feature{};
};

// The needs that `layout` does not declare, in the order of the needs. A
// table is read only under the script tag a shaper would choose: the
// script's first tag present, else DFLT.
std::vector<MissingFeature> undeclaredFeatures(const ShapingNeeds& needs, const fontfile::LayoutTables& layout);

// The characters of `needs` that a font with `layout` cannot be used for:
// those of every script with a feature it does not declare.
std::vector<fontfile::CodePointRange> unusableCodePoints(const ShapingNeeds& needs,
                                                         const fontfile::LayoutTables& layout);

// "dev2:half", blanks that pad a tag left out ("lao:mark").
std::string featureName(const MissingFeature& missing);

}  // namespace coverage
