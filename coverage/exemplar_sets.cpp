#include "coverage/exemplar_sets.h"

#include <cstdint>
#include <utility>

namespace coverage {

namespace {

using fontfile::CodePointRange;

constexpr char32_t kFirstSurrogate = 0xD800;
constexpr char32_t kFirstTrailSurrogate = 0xDC00;
constexpr char32_t kLastSurrogate = 0xDFFF;

constexpr bool isPatternWhiteSpace(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0x200E || c == 0x200F || c == 0x2028 ||
           c == 0x2029;
}

constexpr bool isSurrogate(char32_t c) { return c >= kFirstSurrogate && c <= kLastSurrogate; }

std::optional<char32_t> hexDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<char32_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<char32_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<char32_t>(c - 'A' + 10);
    return std::nullopt;
}

constexpr bool isAsciiLetterOrDigit(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// One character of the set, with whether it was escaped (and so stands for
// itself whatever it is).
struct SetCharacter {
    char32_t codePoint;
    bool escaped;
};

// A cursor over the set's text that never reads past its end; every read
// that fails leaves the whole set unreadable.
class SetReader {
public:
    explicit SetReader(std::string_view text) : text_(text) {}

    bool atEnd() const { return position_ >= text_.size(); }

    // The next character, its escape read, or nothing on bad text.
    std::optional<SetCharacter> next() {
        const auto c = decodeUtf8();
        if (!c) return std::nullopt;
        if (*c != '\\') return SetCharacter{*c, false};
        const auto escaped = escape();
        if (!escaped) return std::nullopt;
        return SetCharacter{*escaped, true};
    }

    // The next character that is not white space, without moving on.
    std::optional<SetCharacter> peekPastWhiteSpace() {
        skipWhiteSpace();
        const auto saved = position_;
        auto c = next();
        position_ = saved;
        return c;
    }

    void skipWhiteSpace() {
        while (!atEnd()) {
            const auto saved = position_;
            const auto c = decodeUtf8();
            if (!c || !isPatternWhiteSpace(*c)) {
                position_ = saved;
                return;
            }
        }
    }

private:
    std::optional<std::uint8_t> byte() {
        if (atEnd()) return std::nullopt;
        return static_cast<std::uint8_t>(text_[position_++]);
    }

    // One code point of well-formed UTF-8: no overlong forms, surrogates or
    // values past U+10FFFF.
    std::optional<char32_t> decodeUtf8() {
        const auto lead = byte();
        if (!lead) return std::nullopt;
        if (*lead < 0x80) return *lead;
        std::size_t more = 0;
        char32_t value = 0;
        char32_t least = 0;
        if ((*lead & 0xE0) == 0xC0) {
            more = 1, value = *lead & 0x1Fu, least = 0x80;
        } else if ((*lead & 0xF0) == 0xE0) {
            more = 2, value = *lead & 0x0Fu, least = 0x800;
        } else if ((*lead & 0xF8) == 0xF0) {
            more = 3, value = *lead & 0x07u, least = 0x10000;
        } else {
            return std::nullopt;
        }
        for (std::size_t i = 0; i < more; ++i) {
            const auto continuation = byte();
            if (!continuation || (*continuation & 0xC0) != 0x80) return std::nullopt;
            value = (value << 6) | (*continuation & 0x3Fu);
        }
        if (value < least || value > fontfile::kLastCodePoint || isSurrogate(value)) return std::nullopt;
        return value;
    }

    // `count` hex digits exactly, or between 1 and `count` when `upTo`.
    std::optional<char32_t> hexDigits(std::size_t count, bool upTo) {
        char32_t value = 0;
        std::size_t read = 0;
        while (read < count && !atEnd()) {
            const auto digit = hexDigit(text_[position_]);
            if (!digit) break;
            value = value * 16 + *digit;
            ++position_;
            ++read;
        }
        if (read == 0 || (!upTo && read < count)) return std::nullopt;
        return value;
    }

    // The digits of \u{...} or \x{...}, the brace read.
    std::optional<char32_t> bracedHex() {
        const auto value = hexDigits(8, true);
        if (!value || atEnd() || text_[position_] != '}') return std::nullopt;
        ++position_;
        return value;
    }

    bool followedBy(char c) const { return !atEnd() && text_[position_] == c; }

    // What follows a backslash, as a code point.
    std::optional<char32_t> escape() {
        const auto letter = decodeUtf8();
        if (!letter) return std::nullopt;
        if (const auto control = controlEscape(*letter)) return control;
        std::optional<char32_t> value;
        if ((*letter == 'u' || *letter == 'x') && followedBy('{')) {
            ++position_;
            value = bracedHex();
        } else if (*letter == 'u') {
            value = hexDigits(4, false);
            if (value && *value >= kFirstSurrogate && *value < kFirstTrailSurrogate) value = trail(*value);
        } else if (*letter == 'U') {
            value = hexDigits(8, false);
        } else if (*letter == 'x') {
            value = hexDigits(2, true);
        } else if (isAsciiLetterOrDigit(*letter)) {
            // Other letters and digits are escapes of other meanings (\p,
            // \N, octal ones), not characters.
            return std::nullopt;
        } else {
            return letter;
        }
        if (!value || *value > fontfile::kLastCodePoint || isSurrogate(*value)) return std::nullopt;
        return value;
    }

    // \a \b \e \f \n \r \t \v.
    static std::optional<char32_t> controlEscape(char32_t letter) {
        constexpr std::pair<char32_t, char32_t> kControls[] = {{'a', 0x07}, {'b', 0x08}, {'e', 0x1B}, {'f', 0x0C},
                                                               {'n', 0x0A}, {'r', 0x0D}, {'t', 0x09}, {'v', 0x0B}};
        for (const auto& [escaped, control] : kControls) {
            if (letter == escaped) return control;
        }
        return std::nullopt;
    }

    // The code point of a lead surrogate escape and the \uXXXX trail one
    // that must follow it; the lead alone when none does, to be refused.
    std::optional<char32_t> trail(char32_t lead) {
        const auto saved = position_;
        if (followedBy('\\')) {
            ++position_;
            if (followedBy('u')) {
                ++position_;
                const auto low = hexDigits(4, false);
                if (low && *low >= kFirstTrailSurrogate && *low <= kLastSurrogate) {
                    return 0x10000 + ((lead - kFirstSurrogate) << 10) + (*low - kFirstTrailSurrogate);
                }
            }
        }
        position_ = saved;
        return lead;
    }

    std::string_view text_;
    std::size_t position_ = 0;
};

// The characters that mean something in a set unless escaped.
constexpr bool isSyntax(char32_t c) {
    return c == '[' || c == ']' || c == '{' || c == '}' || c == '-' || c == '\\' || c == '^' || c == '&' || c == '$';
}

bool isUnescaped(const std::optional<SetCharacter>& c, char32_t what) {
    return c && !c->escaped && c->codePoint == what;
}

// The characters of a {string}, the brace read, up to its closing brace.
bool readString(SetReader& reader, std::vector<CodePointRange>& items) {
    bool any = false;
    while (true) {
        reader.skipWhiteSpace();
        const auto c = reader.next();
        if (!c) return false;
        if (isUnescaped(c, '}')) return any;
        items.push_back({c->codePoint, c->codePoint});
        any = true;
    }
}

// A single character or a range beginning with `first`, already read.
bool readCharacterOrRange(SetReader& reader, SetCharacter first, std::vector<CodePointRange>& items) {
    const auto after = reader.peekPastWhiteSpace();
    if (!isUnescaped(after, '-')) {
        items.push_back({first.codePoint, first.codePoint});
        return true;
    }
    reader.next();
    const auto last = reader.peekPastWhiteSpace();
    if (isUnescaped(last, ']')) {  // a "-" last in the set is itself
        items.push_back({first.codePoint, first.codePoint});
        items.push_back({'-', '-'});
        return true;
    }
    reader.next();
    if (!last || (!last->escaped && isSyntax(last->codePoint)) || last->codePoint < first.codePoint) return false;
    items.push_back({first.codePoint, last->codePoint});
    return true;
}

}  // namespace

std::optional<std::vector<CodePointRange>> exemplarCodePoints(std::string_view set) {
    if (set.starts_with("[:")) return std::nullopt;  // a property, [:Lu:]
    SetReader reader(set);
    if (!isUnescaped(reader.next(), '[')) return std::nullopt;
    std::vector<CodePointRange> items;
    for (bool first = true;; first = false) {
        reader.skipWhiteSpace();
        const auto c = reader.next();
        if (!c) return std::nullopt;
        bool read = true;
        if (isUnescaped(c, ']')) {
            if (!reader.atEnd()) return std::nullopt;
            return fontfile::sortedAndMerged(std::move(items));
        } else if (isUnescaped(c, '{')) {
            read = readString(reader, items);
        } else if (first && isUnescaped(c, '-')) {  // a "-" first in the set is itself
            items.push_back({'-', '-'});
        } else if (!c->escaped && isSyntax(c->codePoint)) {
            read = false;
        } else {
            read = readCharacterOrRange(reader, *c, items);
        }
        if (!read) return std::nullopt;
    }
}

}  // namespace coverage
