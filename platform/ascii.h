// ASCII case folding, for the names that Windows compares with letters in
// either case alike: file names in a folder, block names typed by a user.
// Bytes above 127 are left as they are.
#pragma once

#include <algorithm>
#include <string_view>

namespace platform {

constexpr char toLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char toUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return toLowerAscii(x) == toLowerAscii(y); });
}

}  // namespace platform
