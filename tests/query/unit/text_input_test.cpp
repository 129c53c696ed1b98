// Text to look for from a file or standard input: decoded from UTF-8 or
// UTF-16 by its byte order mark, with what no font draws left out.
#include "query/text_input.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

using fontfile::CodePointRange;
using query::decodeTextFile;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::u32string decoded(std::string_view bytes) {
    const auto result = decodeTextFile(bytes);
    if (const auto* why = std::get_if<std::string>(&result)) ADD_FAILURE() << *why;
    return result.index() == 0 ? std::get<0>(result) : std::u32string();
}

std::string problem(std::string_view bytes) {
    const auto result = decodeTextFile(bytes);
    return result.index() == 1 ? std::get<1>(result) : "(decoded)";
}

TEST(TextInput, DecodesUtf8AndUtf16ByTheirByteOrderMarks) {
    EXPECT_EQ(decoded("Caf\xC3\xA9\n"), U"Caf\u00E9\n");
    EXPECT_EQ(decoded("\xEF\xBB\xBF"
                      "a"),
              U"a")
        << "a UTF-8 mark is not text";
    // "é€😀" in UTF-16, little and big endian, a surrogate pair included.
    EXPECT_EQ(decoded(std::string("\xFF\xFE\xE9\x00\xAC\x20\x3D\xD8\x00\xDE", 10)), U"\u00E9\u20AC\U0001F600");
    EXPECT_EQ(decoded(std::string("\xFE\xFF\x00\xE9\x20\xAC\xD8\x3D\xDE\x00", 10)), U"\u00E9\u20AC\U0001F600");
    EXPECT_EQ(decoded(""), U"");
}

TEST(TextInput, RefusesWhatIsNeitherUtf8NorWholeUtf16) {
    EXPECT_THAT(problem("Caf\xE9"), HasSubstr("neither UTF-8 nor UTF-16"));
    EXPECT_THAT(problem("\xFF\xFE\x41"), HasSubstr("odd number of bytes"));
    EXPECT_THAT(problem(std::string("\xFF\xFE\x3D\xD8\x41\x00", 6)), HasSubstr("unpaired high surrogate"));
    EXPECT_THAT(problem(std::string("\xFE\xFF\xDE\x00", 4)), HasSubstr("stray low surrogate"));
}

// Line breaks and tabs of pasted text are not characters to find in a font,
// nor the joiners and direction marks that only steer its shaping.
TEST(TextInput, LeavesOutControlAndFormatCharacters) {
    for (const char32_t c : {U'\n', U'\r', U'\t', U'\0', U'\u007F', U'\u0085', U'\u009F'})
        EXPECT_FALSE(query::isDrawn(c));
    for (const char32_t c : {U' ', U'a', U'\u00A0', U'\u00E9', U'\U0001F600'}) EXPECT_TRUE(query::isDrawn(c));
    EXPECT_THAT(query::drawnCodePoints(U"b\r\na\tc\n"), ElementsAre(CodePointRange{'a', 'c'}));
    for (const char32_t c : {U'\u200C', U'\u200D', U'\u200E', U'\u202B', U'\u2066', U'\uFEFF', U'\U000E0001'})
        EXPECT_FALSE(query::isDrawn(c)) << std::hex << static_cast<unsigned>(c);
    EXPECT_THAT(query::drawnCodePoints(U"\u0915\u094D\u200D\u0937"),
                ElementsAre(CodePointRange{0x915, 0x915}, CodePointRange{0x937, 0x937}, CodePointRange{0x94D, 0x94D}));
}

TEST(TextInput, ReadsAFileByItsUtf8Name) {
    const auto folder = std::filesystem::temp_directory_path() / "meldrove-text-input";
    std::filesystem::create_directories(folder);
    const auto file = folder / std::filesystem::path(u8"M\u00FCller.txt");
    std::ofstream(file, std::ios::binary) << "\xFF\xFE" << std::string("A\0", 2);
    const auto utf8 = file.u8string();
    const auto read = query::readTextFile(std::string(utf8.begin(), utf8.end()));
    ASSERT_EQ(read.index(), 0u) << std::get<1>(read);
    EXPECT_EQ(decoded(std::get<0>(read)), U"A");
    EXPECT_EQ(query::readTextFile((folder / "missing.txt").string()).index(), 1u);
    EXPECT_EQ(query::readTextFile(folder.string()).index(), 1u) << "a folder is no text";
    std::filesystem::remove_all(folder);
}

}  // namespace
