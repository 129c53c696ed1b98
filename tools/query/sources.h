// The fonts a query reads, checked before anything is read, so that a folder
// or file that cannot be read is bad input rather than an empty answer.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "inventory/font_catalog.h"
#include "query/options.h"

namespace query {

// What the catalog is asked to read: every font the user has unless folders
// or files are named.
struct CatalogSources {
    std::vector<inventory::CatalogFolder> folders;  // in the catalog's encoding
    std::vector<std::string> files;
    std::vector<std::string> notes;  // what could not be read of the per-user fonts, which are a bonus
    bool named = false;              // folders or files the user named, rather than the system's and the user's

    // Whether a line must name its file by its whole path: more than one
    // source, or a folder read with its subfolders.
    bool namesByPath() const;
};

// The folders and files `sources` names, or those of the system and the
// user; or why the request cannot be answered.
std::variant<CatalogSources, std::string> catalogSources(const FontSources& sources);

// The one folder the program's answer reads (--program): the one named, or
// the fonts folder of the Windows directory, spelt as the program's ANSI
// functions open it; or why there is none it could read.
std::variant<std::string, std::string> programsFolder(const FontSources& sources);

// A catalog note as the tool says it, on one line of standard error:
// "meldrove-query: <file>[, face N]: <what>", made safe to print; empty for
// one not worth telling (one of the system's font folders that holds none).
std::string noteLine(const inventory::CatalogNote& note, const CatalogSources& sources);

}  // namespace query
