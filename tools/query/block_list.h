// --blocks: the blocks a user can name, each with its range bit.
#pragma once

#include "query/options.h"
#include "query/output.h"

namespace query {

// The 79 rows of the block list, and with `all` the other range bits; as
// lines of "<bit>  <name>" or as JSON Lines.
void writeBlockList(const ShowBlocks& request, Output& out);

}  // namespace query
