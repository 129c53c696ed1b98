#include "query/output.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "query/text.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>
#endif

namespace query {

Sink fileSink(std::FILE* file) {
    return [file](std::string_view bytes, TextEncoding) {
        errno = 0;
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if (std::fflush(file) == 0 && written) return WriteOutcome::written;
        return errno == EPIPE ? WriteOutcome::closed : WriteOutcome::failed;
    };
}

Output::Output(Sink sink) : sink_(std::move(sink)) { buffer_.reserve(kCapacity); }

Output::~Output() { flush(); }

void Output::write(std::string_view text, TextEncoding encoding) {
    if (encoding != encoding_) {
        flush();
        encoding_ = encoding;
    }
    if (buffer_.size() + text.size() > kCapacity) flush();
    if (text.size() > kCapacity) {
        deliver(text);
    } else {
        buffer_ += text;
    }
}

void Output::line(std::string_view text, TextEncoding encoding) {
    write(text, encoding);
    write("\n", encoding);
}

void Output::flush() {
    if (buffer_.empty()) return;
    deliver(buffer_);
    buffer_.clear();
}

void Output::deliver(std::string_view bytes) {
    if (outcome_ == WriteOutcome::written) outcome_ = sink_(bytes, encoding_);
}

#ifdef _WIN32
namespace {

// A single conversion takes at most INT_MAX bytes; a longer write is cut
// there, possibly inside a character. No line of the tool comes near.
constexpr std::size_t kMaxConversion = INT_MAX;

// Consoles before Windows 8 fail a write that does not fit the 64 KiB heap
// they share with the program; 8,192 characters always fit. A pair of
// surrogates is never split between two writes.
constexpr std::size_t kConsoleChunk = 8192;

bool writeConsole(HANDLE console, std::wstring_view text) {
    while (!text.empty()) {
        std::size_t count = std::min(text.size(), kConsoleChunk);
        if (count < text.size() && text[count - 1] >= 0xD800 && text[count - 1] <= 0xDBFF) --count;
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data(), static_cast<DWORD>(count), &written, nullptr) || written == 0) {
            return false;
        }
        text.remove_prefix(std::min<std::size_t>(written, text.size()));
    }
    return true;
}

bool writeFile(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto count = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), kMaxConversion));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), count, &written, nullptr) || written == 0) return false;
        bytes.remove_prefix(std::min<std::size_t>(written, bytes.size()));
    }
    return true;
}

bool writeToHandle(HANDLE handle, std::string_view bytes, TextEncoding encoding) {
    DWORD mode = 0;
    // A file or a pipe gets the bytes as the tool made them, "\n" ending each
    // line, so that its output is the same on every system.
    if (!GetConsoleMode(handle, &mode)) return writeFile(handle, bytes);
    while (!bytes.empty()) {
        const auto piece = bytes.substr(0, kMaxConversion);
        if (!writeConsole(handle, consoleText(piece, encoding))) return false;
        bytes.remove_prefix(piece.size());
    }
    return true;
}

WriteOutcome writeStandardOutput(std::string_view bytes, TextEncoding encoding) {
    std::fflush(stdout);  // what printf left in the C runtime goes first
    const HANDLE handle = GetStdHandle(STD_OUTPUT_HANDLE);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return WriteOutcome::failed;
    if (writeToHandle(handle, bytes, encoding)) return WriteOutcome::written;
    const auto error = GetLastError();
    return error == ERROR_NO_DATA || error == ERROR_BROKEN_PIPE ? WriteOutcome::closed : WriteOutcome::failed;
}

std::string utf8FromWide(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    out.pop_back();  // the terminating null that a length of -1 counts
    return out;
}

}  // namespace

std::wstring consoleText(std::string_view bytes, TextEncoding encoding) {
    if (bytes.empty()) return {};
    const UINT codePage = encoding == TextEncoding::utf8 ? CP_UTF8 : CP_ACP;
    const int size = static_cast<int>(std::min(bytes.size(), kMaxConversion));
    const int wide = MultiByteToWideChar(codePage, 0, bytes.data(), size, nullptr, 0);
    if (wide <= 0) return {};
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(codePage, 0, bytes.data(), size, out.data(), wide);
    return out;
}

Output& standardOutput() {
    static Output output(writeStandardOutput);
    return output;
}

void writeDiagnostic(std::string_view utf8Line) {
    std::fflush(stderr);
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
        writeConsole(handle, consoleText(std::string(utf8Line) + "\n", TextEncoding::utf8));
        return;
    }
    std::fwrite(utf8Line.data(), 1, utf8Line.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        std::vector<std::string> arguments;
        for (int i = 0; i < count; ++i) arguments.push_back(utf8FromWide(wide[i]));
        LocalFree(wide);
        return arguments;
    }
    return {argv, argv + argc};
}

std::string utf8FromFileName(std::string_view name) {
    if (name.empty()) return {};
    const int size = static_cast<int>(std::min<std::size_t>(name.size(), INT_MAX));
    const int units = MultiByteToWideChar(CP_ACP, 0, name.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name.data(), size, wide.data(), units);
    return utf8FromWide(wide.c_str());
}

std::string ansiFromCatalogName(std::string_view name, bool namesAreUtf8) {
    if (!namesAreUtf8 || name.empty()) return std::string(name);
    const auto wide = consoleText(validUtf8(name), TextEncoding::utf8);
    const int size =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, "?", nullptr);
    std::string out(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), out.data(), size, "?", nullptr);
    return out;
}

#else

std::string ansiFromCatalogName(std::string_view name, bool) { return std::string(name); }

Output& standardOutput() {
    static Output output(fileSink(stdout));
    return output;
}

void writeDiagnostic(std::string_view utf8Line) {
    std::fwrite(utf8Line.data(), 1, utf8Line.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

std::vector<std::string> utf8Arguments(int argc, char** argv) { return {argv, argv + argc}; }

std::string utf8FromFileName(std::string_view name) { return validUtf8(name); }

#endif

std::string utf8FromCatalogName(std::string_view name, bool namesAreUtf8) {
    return namesAreUtf8 ? validUtf8(name) : utf8FromFileName(name);
}

}  // namespace query
