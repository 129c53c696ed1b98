// The readers' three diagnostic lines. They go to standard output unless a
// front end points them elsewhere; nothing is ever shown in a window.
#pragma once

#include <cstdio>

namespace fontfile {

void setDiagnosticStream(std::FILE* stream);

// "OS/2 not found", with no line end.
void reportOs2NotFound();
// "<path>: ** No name table found **" and a line end.
void reportNoNameTable(const char* path);
// "Read failed on table #<index>" and a line end, then the process ends with
// exit code -1: a table directory that cannot be read whole is fatal to the
// full-name readers.
[[noreturn]] void failOnShortTableRecord(int recordIndex);

}  // namespace fontfile
