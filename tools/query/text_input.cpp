#include "query/text_input.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "coverage/character_properties.h"
#include "query/text.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace query {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigMark = "\xFE\xFF";

std::variant<std::u32string, std::string> decodeUtf16(std::string_view bytes, bool bigEndian) {
    if (bytes.size() % 2 != 0) return std::string("UTF-16 text of an odd number of bytes");
    const auto unitAt = [&](std::size_t i) {
        const auto first = static_cast<unsigned char>(bytes[2 * i]),
                   second = static_cast<unsigned char>(bytes[2 * i + 1]);
        return bigEndian ? char32_t(first) << 8 | second : char32_t(second) << 8 | first;
    };
    std::u32string text;
    const auto units = bytes.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const auto unit = unitAt(i);
        if (unit >= 0xDC00 && unit <= 0xDFFF) return std::string("UTF-16 text with a stray low surrogate");
        if (unit < 0xD800 || unit > 0xDBFF) {
            text += unit;
            continue;
        }
        if (i + 1 == units || unitAt(i + 1) < 0xDC00 || unitAt(i + 1) > 0xDFFF) {
            return std::string("UTF-16 text with an unpaired high surrogate");
        }
        text += 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00);
        ++i;
    }
    return text;
}

}  // namespace

std::variant<std::u32string, std::string> decodeTextFile(std::string_view bytes) {
    if (bytes.starts_with(kUtf16LittleMark)) return decodeUtf16(bytes.substr(2), false);
    if (bytes.starts_with(kUtf16BigMark)) return decodeUtf16(bytes.substr(2), true);
    if (bytes.starts_with(kUtf8Mark)) bytes.remove_prefix(kUtf8Mark.size());
    auto text = decodeUtf8(bytes);
    if (!text) return std::string("the text is neither UTF-8 nor UTF-16 with a byte order mark");
    return std::move(*text);
}

std::variant<std::string, std::string> readTextFile(std::string_view utf8Path) {
    using Result = std::variant<std::string, std::string>;
    std::string bytes;
    const auto tooLong = [] {
        return Result(std::in_place_index<1>,
                      "longer than " + std::to_string(kMaxTextFile / (1024 * 1024)) + " MiB: not a text to look for");
    };
    if (utf8Path == "-") {
#ifdef _WIN32
        _setmode(_fileno(stdin), _O_BINARY);
#endif
        char buffer[64 * 1024];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;) {
            bytes.append(buffer, got);
            if (bytes.size() > kMaxTextFile) return tooLong();
        }
        if (std::ferror(stdin)) return Result(std::in_place_index<1>, "standard input could not be read");
        return Result(std::in_place_index<0>, std::move(bytes));
    }
    const std::filesystem::path path(std::u8string(utf8Path.begin(), utf8Path.end()));
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return Result(std::in_place_index<1>, error ? error.message() : "not a file");
    }
    if (std::filesystem::file_size(path, error) > kMaxTextFile) return tooLong();
    std::ifstream file(path, std::ios::binary);
    if (!file) return Result(std::in_place_index<1>, "it cannot be opened");
    bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (bytes.size() > kMaxTextFile) return tooLong();
    return Result(std::in_place_index<0>, std::move(bytes));
}

bool isDrawn(char32_t c) { return !(c < 0x20 || (c >= 0x7F && c <= 0x9F)) && !coverage::isFormatCharacter(c); }

std::vector<fontfile::CodePointRange> drawnCodePoints(std::u32string_view text) {
    std::vector<fontfile::CodePointRange> runs;
    for (const auto c : text) {
        if (isDrawn(c)) runs.push_back({c, c});
    }
    return fontfile::sortedAndMerged(std::move(runs));
}

}  // namespace query
