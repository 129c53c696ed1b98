#include "inventory/folder_search.h"

#include <algorithm>

namespace inventory {

namespace {

bool isFile(const platform::FoundEntry& entry) { return (entry.attributes & platform::kFileAttributeDirectory) == 0; }

}  // namespace

bool joinPath(std::string_view folder, std::string_view name, PathBuffer& path) {
    if (folder.size() + 1 + name.size() >= platform::kMaxPath) return false;
    auto end = std::copy(folder.begin(), folder.end(), path.begin());
    *end++ = '\\';
    *std::copy(name.begin(), name.end(), end) = '\0';
    return true;
}

FoundNames findFiles(const std::string& folder, const char* filePattern, std::size_t limit) {
    FoundNames names;
    PathBuffer pattern;
    if (folder.empty() || !joinPath(folder, filePattern, pattern)) return names;
    platform::FileSearch search(pattern.data());
    platform::FoundEntry entry;
    while (names.count < limit && search.next(entry)) {
        if (!isFile(entry) || entry.fileName.size() >= platform::kMaxPath) continue;
        names.text.append(entry.fileName).push_back('\0');  // a file name holds no zero byte
        ++names.count;
    }
    return names;
}

}  // namespace inventory
