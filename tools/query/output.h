// Standard output for meldrove-query: buffered so that lines go out in large
// writes, and on Windows converted to UTF-16 for a console, which would
// otherwise show UTF-8 names in the console's code page.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "inventory/font_catalog.h"
#include "query/text.h"

namespace query {

// Output takes text in any TextEncoding (text.h). Only a Windows console
// tells them apart: UTF-8 is converted from UTF-8, the others from the ANSI
// code page. Files, pipes and every POSIX output receive the bytes as they
// are, "\n" ending each line on Windows too, so that the output is the same
// on every system.

enum class WriteOutcome {
    written,
    closed,  // the reader went away (a pipe closed early, as by head): nothing more is wanted
    failed,  // the bytes could not be written (a full disk)
};

// Where Output's buffers go, whole and in order, each in one encoding.
using Sink = std::function<WriteOutcome(std::string_view bytes, TextEncoding encoding)>;

// Writes with fwrite and flushes the stream, whatever the encoding.
Sink fileSink(std::FILE* file);

class Output {
public:
    static constexpr std::size_t kCapacity = 64 * 1024;

    explicit Output(Sink sink);
    // Flushes: an Output of static storage is flushed by std::exit too.
    ~Output();
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // A write is never split between two buffers; one longer than kCapacity
    // goes to the sink alone. A change of encoding flushes first.
    void write(std::string_view text, TextEncoding encoding);
    // `text` and "\n".
    void line(std::string_view text, TextEncoding encoding);
    void flush();
    // What became of the output: once a write was not written, later output
    // is dropped.
    WriteOutcome outcome() const { return outcome_; }
    bool failed() const { return outcome_ != WriteOutcome::written; }

private:
    void deliver(std::string_view bytes);

    Sink sink_;
    std::string buffer_;
    TextEncoding encoding_ = TextEncoding::bytes;
    WriteOutcome outcome_ = WriteOutcome::written;
};

// The process's standard output, created on first use and flushed when the
// process ends through main's return or std::exit (the engine exits with -1
// from deep inside on a cut-off font). Whatever the C runtime still holds
// from printf goes out before each of its buffers.
Output& standardOutput();

// One line of UTF-8 on standard error, "\n" added: in a Windows console as
// UTF-16, which it shows whatever its code page; elsewhere as bytes.
void writeDiagnostic(std::string_view utf8Line);

// The program's arguments, argv[0] first, in UTF-8. On Windows they are read
// from the wide command line, since argv holds them in the ANSI code page and
// loses what it cannot show; elsewhere they are argv as it is.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// A path the engine joined with backslashes as this system writes it.
using inventory::systemPath;

// File names as the program's inventory found them, in UTF-8: on Windows
// they come from the ANSI functions in the ANSI code page; elsewhere they are
// bytes, which are repaired as validUtf8 does.
std::string utf8FromFileName(std::string_view name);

// A path or file name of the font catalog (in its encoding, see
// inventory/font_catalog.h) in UTF-8, repaired as validUtf8 does.
std::string utf8FromCatalogName(std::string_view name, bool namesAreUtf8);

// A path or file name of the font catalog for a line of single-byte text
// (a Macintosh name's): on Windows in the ANSI code page, a character it
// lacks as '?'; elsewhere the catalog's bytes.
std::string ansiFromCatalogName(std::string_view name, bool namesAreUtf8);

#ifdef _WIN32
// `bytes` as a console shows them: UTF-16 from UTF-8 for utf8, from the ANSI
// code page otherwise.
std::wstring consoleText(std::string_view bytes, TextEncoding encoding);
#endif

}  // namespace query
