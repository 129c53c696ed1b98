// ASCII case folding for names that are compared letters-in-either-case.
#pragma once

namespace selection {

inline char foldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace selection
