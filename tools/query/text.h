// Text for meldrove-query's output: names (decoded by fontfile/name_text.h)
// made safe for a terminal, or written as JSON. JSON is written here rather than with
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

#include "fontfile/name_text.h"

namespace query {

// The names' text, shared with everything else that shows a font's names.
using fontfile::decodeUtf8;
using fontfile::jsonString;
using fontfile::utf8FromMacRoman;
using fontfile::utf8FromUtf16be;
using fontfile::validUtf8;

// What a piece of text is: bytes of no known encoding, UTF-8, or bytes in
// the ANSI code page (on Windows; raw bytes elsewhere).
enum class TextEncoding { bytes, utf8, ansi };

// What a terminal or a line splitter acts on (fontfile::isEscapedCodePoint).
// Text in another encoding keeps its bytes 0x80-0xFF: they are letters there.
using fontfile::isEscapedCodePoint;

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
