// A face's answer as JSON Lines, for scripts: one object per face, or one
// per finding, every string UTF-8. The keys that measuring adds are there
// only when character maps were read.
#pragma once

#include "query/answer.h"
#include "query/output.h"
#include "query/text.h"

namespace query {

// The face's own keys: where it is, its OS/2 version and bits, its names.
JsonObject faceObject(const FaceAnswer& answer);

// With `layout`, the face's GSUB and GPOS as "layout".
void writeFaceJson(const FaceAnswer& answer, bool layout, Output& out);

// A cover: each face's object with "adds", then one object whose only key is
// "not_covered": {"count": N, "missing": [the first code points]}.
void writeCoverJson(const CoverAnswer& cover, bool layout, Output& out);

// One object per finding: the face's keys, then finding, bit, block and
// detail. Nothing for a face without findings.
void writeFindingsJson(const FaceAnswer& answer, Output& out);

}  // namespace query
