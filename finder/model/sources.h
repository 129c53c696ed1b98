// The fonts the Finder reads: those meldrove-query reads by default (the
// system's fonts folders, the user's fonts folder and the fonts registered
// for the user), every format and every member of a collection, plus the
// folders the user adds, searched with their subfolders. And what it could
// not read of them, which the window counts as problems.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "inventory/font_catalog.h"

namespace finder {

struct Sources {
    std::vector<inventory::CatalogFolder> defaults;  // the system's and the user's folders, as found
    std::vector<std::string> registeredFiles;        // the fonts registered for the user
    std::vector<std::string> added;                  // folders the user added, in the catalog's encoding
};

// The system's and the user's fonts; a per-user fonts folder that does not
// exist (no font of their own installed) is no source.
Sources defaultSources();

// What the catalog is asked to read: every face of every file, with its
// Windows name and character map.
inventory::CatalogRequest catalogRequestOf(const Sources& sources);

// A line for each problem of the catalog: each note ("<path>[, face N]:
// <what>"), but a default folder holding no font, which is no problem, and
// each face whose character map is damaged, in catalog order, UTF-8.
std::vector<std::string> problemNotes(const inventory::FontCatalog& catalog, const Sources& sources);

}  // namespace finder
