// The smallest set of faces, picked greedily, that together cover some code
// points: for a text that no one font can set, which fonts to reach for.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fontfile/code_points.h"

namespace coverage {

struct CoverCandidate {
    // The code points asked for that the face may be used for: those its
    // character map holds, less any whose script's layout it does not declare
    // when shaping counts. Sorted, merged.
    std::vector<fontfile::CodePointRange> usable;
    std::string family;    // familyOf() its name
    bool regular = false;  // weight class 400 and not italic
    std::string name;      // what breaks the last ties, with its index
};

struct CoverStep {
    std::size_t candidate = 0;  // in the candidates given
    std::uint32_t adds = 0;     // code points no face picked before covers
};

struct Cover {
    std::vector<CoverStep> steps;                     // in the order picked
    std::vector<fontfile::CodePointRange> uncovered;  // what no candidate covers
    std::uint32_t uncoveredCount = 0;
};

// Picks, while anything is left that some candidate covers, the candidate
// that adds the most uncovered code points; among those that add as many, one
// of a family already picked, then a regular one, then the first by name,
// then by index.
Cover greedyCover(std::span<const fontfile::CodePointRange> wanted, std::span<const CoverCandidate> candidates);

// A face's family, guessed from its full name: the name less the style
// words that end it ("Noto Sans Bold Italic" is "Noto Sans"; "DejaVu Sans
// Condensed" stays). Letters in either case.
std::string familyOf(std::string_view fullName);

}  // namespace coverage
