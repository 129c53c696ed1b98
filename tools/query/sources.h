// The folders and files a query reads, checked before anything is read, so
// that a folder that cannot be searched is bad input rather than an empty
// answer.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "query/options.h"

namespace query {

struct Sources {
    std::vector<std::string> folders;  // as the engine opens them, without separators at their end
    std::vector<std::string> files;
    std::vector<std::string> notes;  // what could not be read of the per-user fonts, which are a bonus
};

// The folders and files `sources` names (the fonts folder of the Windows
// directory when it names none), or why the request cannot be answered.
std::variant<Sources, std::string> sourcesOf(const FontSources& sources);

}  // namespace query
