#include "fontfile/name_text.h"

namespace fontfile {
namespace {

constexpr char32_t kReplacement = U'\uFFFD';
constexpr char kLowerHex[] = "0123456789abcdef";

std::uint8_t byteAt(std::string_view text, std::size_t i) { return static_cast<std::uint8_t>(text[i]); }

char continuation(char32_t bits) { return static_cast<char>(0x80 | (bits & 0x3F)); }

bool isHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Mac OS Roman 0x80-0xFF, from Unicode's MAPPINGS/VENDORS/APPLE/ROMAN.TXT:
// 0xDB is the euro sign (the currency sign before Mac OS 8.5) and 0xF0 the
// Apple logo, which Unicode has only as the private-use U+F8FF.
constexpr std::array<char16_t, 128> kMacRomanHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // 0x80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,  // 0x88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // 0x90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,  // 0x98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // 0xA0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,  // 0xA8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // 0xB0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,  // 0xB8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // 0xC0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,  // 0xC8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // 0xD0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,  // 0xD8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // 0xE0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,  // 0xE8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // 0xF0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,  // 0xF8
};

// What a lead byte of UTF-8 allows: the length of its sequence and the range
// of its second byte, which is narrower than 0x80-0xBF exactly where the
// sequence would be overlong (E0, F0), a surrogate (ED) or above U+10FFFF
// (F4). Every later byte is 0x80-0xBF. A length of 0 marks a byte that
// starts nothing: a continuation byte, C0, C1 and F5-FF.
struct Lead {
    std::size_t length = 0;
    std::uint8_t low = 0x80, high = 0xBF;
};

constexpr Lead leadOf(std::uint8_t byte) {
    if (byte >= 0xC2 && byte <= 0xDF) return {2};
    if (byte == 0xE0) return {3, 0xA0, 0xBF};
    if (byte == 0xED) return {3, 0x80, 0x9F};
    if (byte >= 0xE1 && byte <= 0xEF) return {3};
    if (byte == 0xF0) return {4, 0x90, 0xBF};
    if (byte >= 0xF1 && byte <= 0xF3) return {4};
    if (byte == 0xF4) return {4, 0x80, 0x8F};
    return {};
}

// How many bytes from `at` on could still begin a well-formed sequence under
// `lead`: its whole length, or fewer where it breaks off (its maximal subpart).
std::size_t wellFormedPrefix(std::string_view bytes, std::size_t at, const Lead& lead) {
    std::size_t taken = 1;
    while (taken < lead.length && at + taken < bytes.size()) {
        const auto byte = byteAt(bytes, at + taken);
        const auto low = taken == 1 ? lead.low : std::uint8_t{0x80};
        const auto high = taken == 1 ? lead.high : std::uint8_t{0xBF};
        if (byte < low || byte > high) break;
        ++taken;
    }
    return taken;
}

}  // namespace

void appendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += continuation(code);
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += continuation(code >> 6);
        out += continuation(code);
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += continuation(code >> 12);
        out += continuation(code >> 6);
        out += continuation(code);
    }
}

Utf8Character utf8CharacterAt(std::string_view text, std::size_t at) {
    const auto first = byteAt(text, at);
    if (first < 0x80) return {1, char32_t{first}};
    const Lead lead = leadOf(first);
    if (lead.length == 0 || wellFormedPrefix(text, at, lead) != lead.length) return {1, std::nullopt};
    auto code = char32_t{first} & (0x7Fu >> lead.length);
    for (std::size_t k = 1; k < lead.length; ++k) code = code << 6 | (byteAt(text, at + k) & 0x3Fu);
    return {lead.length, code};
}

std::string utf8FromUtf16be(std::span<const std::uint8_t> bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    const std::size_t units = bytes.size() / 2;
    const auto unitAt = [&](std::size_t i) { return char32_t(bytes[2 * i]) << 8 | char32_t(bytes[2 * i + 1]); };
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t unit = unitAt(i);
        if (isHighSurrogate(unit) && i + 1 < units && isLowSurrogate(unitAt(i + 1))) {
            appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00));
            ++i;
        } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
            appendUtf8(out, kReplacement);
        } else {
            appendUtf8(out, unit);
        }
    }
    if (bytes.size() % 2 != 0) appendUtf8(out, kReplacement);
    return out;
}

std::string utf8FromMacRoman(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto byte = byteAt(bytes, i);
        appendUtf8(out, byte < 0x80 ? char32_t(byte) : char32_t(kMacRomanHigh[byte - 0x80u]));
    }
    return out;
}

std::string validUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        if (byteAt(bytes, i) < 0x80) {
            out += bytes[i++];
            continue;
        }
        const Lead lead = leadOf(byteAt(bytes, i));
        if (lead.length == 0) {
            appendUtf8(out, kReplacement);
            ++i;
            continue;
        }
        const std::size_t taken = wellFormedPrefix(bytes, i, lead);
        if (taken == lead.length) {
            out.append(bytes.substr(i, taken));
        } else {
            appendUtf8(out, kReplacement);
        }
        i += taken;
    }
    return out;
}

std::optional<std::u32string> decodeUtf8(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        const auto character = utf8CharacterAt(bytes, i);
        if (!character.codePoint) return std::nullopt;
        out += *character.codePoint;
        i += character.length;
    }
    return out;
}

bool isEscapedCodePoint(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029 || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

std::string jsonString(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() + 2);
    out += '"';
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = byteAt(utf8, i);
        switch (byte) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default: {
                const auto piece = utf8CharacterAt(utf8, i);
                if (piece.codePoint && isEscapedCodePoint(*piece.codePoint)) {
                    const auto code = *piece.codePoint;
                    out += "\\u";  // lower case, as JSON writers commonly write it
                    for (const int shift : {12, 8, 4, 0}) out += kLowerHex[(code >> shift) & 0xF];
                } else {
                    out.append(utf8.substr(i, piece.length));
                }
                i += piece.length - 1;
            }
        }
    }
    out += '"';
    return out;
}

}  // namespace fontfile
