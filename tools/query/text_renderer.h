// A face's answer as lines of text, for people: the program's line, made
// safe, with what was measured after TABs, and the missing code points on
// lines of their own that start with a TAB.
#pragma once

#include "query/answer.h"
#include "query/output.h"

namespace query {

struct TextSettings {
    bool coverageFields = false;  // each block's counts, the code points' and the character map's note
    bool layout = false;          // the scripts and features of GSUB and GPOS
};

void writeFaceText(const FaceAnswer& answer, const TextSettings& settings, Output& out);

// One line per finding: the face's line, then TAB-separated the kind, the
// bit, the block and the detail. Nothing for a face without findings.
void writeFindingsText(const FaceAnswer& answer, Output& out);

// A cover: each face's line ending in a TAB and "adds <n>", then a line
// "\tnot covered: <what no face covers>".
void writeCoverText(const CoverAnswer& cover, const TextSettings& settings, Output& out);

}  // namespace query
