#include "query/text.h"

#include <array>
#include <cstdio>
#include <optional>

namespace query {
namespace {

constexpr char kUpperHex[] = "0123456789ABCDEF";

std::uint8_t byteAt(std::string_view text, std::size_t i) { return static_cast<std::uint8_t>(text[i]); }

// One character of `text` from `at` on: its bytes, and its code point when
// it is one. Outside UTF-8 every byte is a character of its own, and only the
// ASCII ones are code points that can need an escape.
struct Piece {
    std::size_t length = 1;
    std::optional<char32_t> codePoint;  // empty for a byte that is no well-formed character
};

Piece pieceAt(std::string_view text, std::size_t at, TextEncoding encoding) {
    const auto first = byteAt(text, at);
    if (first < 0x80) return {1, char32_t{first}};
    if (encoding != TextEncoding::utf8) return {1, U'\uFFFD'};  // a letter of its encoding, never escaped
    const auto character = fontfile::utf8CharacterAt(text, at);
    return {character.length, character.codePoint};
}

bool escaped(const Piece& piece) { return !piece.codePoint || isEscapedCodePoint(*piece.codePoint); }

void appendByteEscape(std::string& out, std::uint8_t byte) {
    out += "\\x";
    out += kUpperHex[byte >> 4];
    out += kUpperHex[byte & 0xF];
}

void appendCodePointEscape(std::string& out, char32_t code) {
    char text[16];
    std::snprintf(text, sizeof text, "\\u{%04X}", static_cast<unsigned>(code));
    out += text;
}

}  // namespace

bool needsEscape(std::string_view text, TextEncoding encoding) {
    for (std::size_t i = 0; i < text.size();) {
        const auto piece = pieceAt(text, i, encoding);
        if (escaped(piece)) return true;
        i += piece.length;
    }
    return false;
}

std::string escapeControls(std::string_view text, bool doubleBackslashes, TextEncoding encoding) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto piece = pieceAt(text, i, encoding);
        if (!piece.codePoint || *piece.codePoint < 0x80) {
            if (escaped(piece)) {
                appendByteEscape(out, byteAt(text, i));
            } else if (text[i] == '\\' && doubleBackslashes) {
                out += "\\\\";
            } else {
                out += text[i];
            }
        } else if (escaped(piece)) {
            appendCodePointEscape(out, *piece.codePoint);
        } else {
            out.append(text.substr(i, piece.length));
        }
        i += piece.length;
    }
    return out;
}

std::string safeLine(std::string_view line, TextEncoding encoding) {
    const bool unsafe = needsEscape(line, encoding);
    return unsafe ? escapeControls(line, true, encoding) : std::string(line);
}

JsonObject::Slot JsonObject::key(std::string_view name) {
    if (!members_.empty()) members_ += ',';
    members_ += jsonString(name);
    members_ += ':';
    return Slot(*this);
}

JsonObject& JsonObject::put(std::string_view json) {
    members_ += json;
    return *this;
}

}  // namespace query
