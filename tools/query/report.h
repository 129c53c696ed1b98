// meldrove-query's answers from the font catalog: which faces match, how much
// of each selected block their character maps cover, what they miss, and
// what their declared bits get wrong; as text lines or JSON Lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "inventory/font_catalog.h"
#include "query/options.h"
#include "query/output.h"

namespace query {

// How a catalog's files are named on a line: by file name alone when one
// folder was read, by full path when more than one source was.
struct FileNaming {
    bool fullPaths = false;
};

// A result line as it is printed: bytes 0x00-0x1F and 0x7F as \xNN, and
// then a backslash as \\, so that no font can split a line or send a
// terminal sequence. Lines without such bytes are printed as they are.
std::string safeLine(std::string_view line);

// Writes the answer for `catalog` to `out`: the matching faces in the order
// the program's result list would show their lines, or with --audit the
// findings. Notes about damaged character maps go to standard error.
// Prints a note of the catalog on standard error, on one line:
// "meldrove-query: <file>[, face N]: <what>".
void printNote(const inventory::FontCatalog& catalog, const inventory::CatalogNote& note);

void writeAnswer(const QueryOptions& options, const inventory::FontCatalog& catalog, FileNaming naming, Output& out);

}  // namespace query
