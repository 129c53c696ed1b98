// How far apart two words are, for offering the nearest names to a word
// that names nothing.
#pragma once

#include <cstddef>
#include <string_view>

namespace coverage {

// The fewest single-byte insertions, deletions and substitutions that turn
// `a` into `b`, ASCII letters compared in either case.
std::size_t editDistanceIgnoringAsciiCase(std::string_view a, std::string_view b);

}  // namespace coverage
