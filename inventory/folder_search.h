// Finding font files in a folder, as both inventories do: paths joined with a
// backslash in 260-byte buffers, and one wildcard search per pattern.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace inventory {

// A path in a 260-byte buffer rather than on the heap.
using PathBuffer = std::array<char, platform::kMaxPath>;

// "<folder>\<name>" into `path`; false when it would not fit: a cut path
// could name another file.
bool joinPath(std::string_view folder, std::string_view name, PathBuffer& path);

// File names that a search found, each ended by a zero, back to back.
// Speed: one buffer for a whole folder rather than one string per name.
struct FoundNames {
    std::string text;
    std::size_t count = 0;

    // Calls visit(name) for each name in search order.
    template <typename Visit>
    void forEach(Visit visit) const {
        std::string_view rest = text;
        for (std::size_t i = 0; i < count; ++i) {
            const auto name = rest.substr(0, rest.find('\0'));
            visit(name);
            rest.remove_prefix(name.size() + 1);
        }
    }
};

// The names of the files (not directories) that match `filePattern` in
// `folder`, at most `limit`, in search order. Without a folder, or when the
// pattern does not fit a path, there are none.
FoundNames findFiles(const std::string& folder, const char* filePattern, std::size_t limit);

}  // namespace inventory
