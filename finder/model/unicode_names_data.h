// The tables of unicode_names_data.cpp, which scripts/make-unicode-names
// writes; read only through unicode_names.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace finder::names_data {

// Consecutive code points with names of their own: the first one's name
// starts at `offset` in kNames, and each name ends with a space.
struct NameRun {
    char32_t first;
    std::uint32_t count;
    std::uint32_t offset;
};

// Code points named by a prefix and their own code point in hex.
struct PrefixRange {
    char32_t first;
    char32_t last;
    std::uint8_t prefix;  // in kPrefixes
};

extern const char kWords[];  // the words of the names, a space apart, most frequent first
extern const char kNames[];  // each name's word indices, five bits a character, then a space
extern const NameRun kRuns[];
extern const std::size_t kRunCount;
extern const char* const kPrefixes[];
extern const PrefixRange kPrefixRanges[];
extern const std::size_t kPrefixRangeCount;
extern const std::uint32_t kNamedCount;  // every named code point, for the tests

}  // namespace finder::names_data
