// --blocks and --langs: the blocks and the languages a user can name.
#pragma once

#include "query/options.h"
#include "query/output.h"

namespace query {

// The 79 rows of the block list, and with `all` the other range bits; as
// lines of "<bit>  <name>" or as JSON Lines.
void writeBlockList(const ShowBlocks& request, Output& out);

// --langs: every language, with its tag, English name, scripts and how many
// code points it requires at the level asked; as TAB-separated lines or as
// JSON Lines.
void writeLanguageList(const ShowLanguages& request, Output& out);

}  // namespace query
