#include "fontfile/diagnostics.h"

#include <cstdlib>

namespace fontfile {

namespace {
std::FILE* diagnosticStream = nullptr;  // null: standard output

std::FILE* stream() { return diagnosticStream ? diagnosticStream : stdout; }
}  // namespace

void setDiagnosticStream(std::FILE* stream) { diagnosticStream = stream; }

void reportOs2NotFound() { std::fputs("OS/2 not found", stream()); }

void reportNoNameTable(const char* path) { std::fprintf(stream(), "%s: ** No name table found **\n", path); }

void failOnShortTableRecord(int recordIndex) {
    std::fprintf(stream(), "Read failed on table #%d\n", recordIndex);
    std::exit(-1);  // exit() flushes the line before the process ends
}

}  // namespace fontfile
