// Text for meldrove-query's output: names decoded from the encodings of font
// name tables into UTF-8, made safe for a terminal, or written as JSON.
//
// Hand-written rather than taken from utfcpp: its replace_invalid gives one
// U+FFFD for a whole bad sequence and its continuation bytes, not one per
// maximal subpart, and its utf16to8 throws on an unpaired surrogate where a
// name must still be shown. JSON is written here rather than with
// nlohmann/json because the Windows cross build has no such header; the
// tests check this writer against that parser natively.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ranges>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace query {

// Windows names (platform 3) are UTF-16BE. Surrogate pairs are joined; an
// unpaired surrogate and an odd last byte become U+FFFD; U+0000 is kept.
std::string utf8FromUtf16be(std::span<const std::uint8_t> bytes);

// Macintosh names (platform 1, encoding 0) are Mac OS Roman: every byte
// becomes exactly one code point, as Unicode's ROMAN.TXT maps it.
std::string utf8FromMacRoman(std::string_view bytes);

// `bytes` with every ill-formed sequence replaced by U+FFFD, one for each
// maximal subpart (the practice the Unicode standard recommends), so that the
// result is valid UTF-8 and well-formed text is never changed.
std::string validUtf8(std::string_view bytes);

// The code points of well-formed UTF-8 (no overlong form, no surrogate,
// nothing above U+10FFFF); nothing when `bytes` are not that.
std::optional<std::u32string> decodeUtf8(std::string_view bytes);

// What a piece of text is: bytes of no known encoding, UTF-8, or bytes in
// the ANSI code page (on Windows; raw bytes elsewhere).
enum class TextEncoding { bytes, utf8, ansi };

// What a terminal or a line splitter acts on, and what no name may print
// raw: the C0 controls and DEL; in UTF-8 also the C1 controls (U+0080-009F:
// NEL, CSI, OSC), the line and paragraph separators U+2028 and U+2029, the
// bidi embeddings and overrides U+202A-202E and the isolates U+2066-2069.
// Text in another encoding keeps its bytes 0x80-0xFF: they are letters there.
bool isEscapedCodePoint(char32_t codePoint);

// True when `text` holds such a character, or (UTF-8) a byte that is not part
// of a well-formed sequence.
bool needsEscape(std::string_view text, TextEncoding encoding);

// `text` with each such character written as an escape: C0 controls, DEL and
// the bytes of ill-formed UTF-8 as \xNN, the others as \u{XXXX} (upper-case
// hex), so that no name can end a line or move the cursor. With
// `doubleBackslashes`, a backslash becomes \\ so that the escapes cannot be
// confused with the text; without it a Windows path stays as it reads.
std::string escapeControls(std::string_view text, bool doubleBackslashes, TextEncoding encoding);

// A result line as it is printed: escaped as above, and then a backslash as
// \\, when it holds what needs an escape; as it is otherwise.
std::string safeLine(std::string_view line, TextEncoding encoding);

// A JSON string literal, quotes included, of UTF-8 text (pass other bytes
// through validUtf8 first: they are copied as they are). Escapes " and \,
// and writes every character that isEscapedCodePoint names as \uXXXX, so
// that each line of JSON stays one line for every consumer.
std::string jsonString(std::string_view utf8);

template <class T>
concept JsonInteger = std::integral<T> && !std::same_as<T, bool> && !std::same_as<T, char>;

template <class R>
concept JsonArrayRange = std::ranges::input_range<R> && !std::convertible_to<const R&, std::string_view> &&
                         (JsonInteger<std::ranges::range_value_t<R>> ||
                          std::convertible_to<std::ranges::range_reference_t<const R>, std::string_view>);

// One JSON object, written as its members are added, in that order:
//   JsonObject().key("name").value(name).key("bits").value(bits).str()
// key() returns a slot that takes exactly one value, so that a key without a
// value or a value without a key does not compile.
class JsonObject {
public:
    class [[nodiscard]] Slot {
    public:
        Slot(const Slot&) = delete;
        Slot& operator=(const Slot&) = delete;

        JsonObject& value(std::string_view utf8) && { return object_.put(jsonString(utf8)); }
        // Without it a string literal would convert to bool.
        JsonObject& value(const char* utf8) && { return object_.put(jsonString(utf8)); }
        JsonObject& value(std::nullptr_t) && { return object_.put("null"); }
        JsonObject& value(bool flag) && { return object_.put(flag ? "true" : "false"); }
        template <JsonInteger T>
        JsonObject& value(T number) && {
            return object_.put(std::to_string(number));
        }
        // An array of integers or of strings.
        template <JsonArrayRange R>
        JsonObject& value(const R& items) && {
            std::string text = "[";
            for (const auto& item : items) {
                if (text.size() > 1) text += ',';
                if constexpr (JsonInteger<std::ranges::range_value_t<R>>) {
                    text += std::to_string(item);
                } else {
                    text += jsonString(item);
                }
            }
            return object_.put(text + "]");
        }
        JsonObject& value(const JsonObject& object) && { return object_.put(object.str()); }
        // An array of objects.
        JsonObject& value(const std::vector<JsonObject>& objects) && {
            std::string text = "[";
            for (const auto& object : objects) text += (text.size() > 1 ? "," : "") + object.str();
            return object_.put(text + "]");
        }

    private:
        friend class JsonObject;
        explicit Slot(JsonObject& object) : object_(object) {}
        JsonObject& object_;
    };

    Slot key(std::string_view name);
    std::string str() const { return "{" + members_ + "}"; }

private:
    JsonObject& put(std::string_view json);
    std::string members_;
};

}  // namespace query
