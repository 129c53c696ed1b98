// Small helpers shared by the inventory, matching and platform tests: font
// files of a few kinds and the packaged ones, the search order of a folder,
// the text of the inventory's name slots, and a scoped working folder.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "font_writer.h"
#include "inventory/font_inventory.h"
#include "platform/platform.h"
#include "selection/matching.h"
#include "selection/result_list.h"

namespace enginetest {

using testfonts::Bytes;
using testfonts::Ranges;
using testfonts::TempFolder;

// The font file at `path` as this process reaches it (under Wine the Linux
// root is drive Z); nothing when it is not installed.
inline std::optional<std::filesystem::path> installed(const char* path) {
    for (const auto& candidate : {std::filesystem::path(path), std::filesystem::path(std::string("Z:") + path)}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    }
    return std::nullopt;
}

inline Bytes fontFile(const Ranges& ranges, const std::string& fullName) {
    return testfonts::simpleFont(ranges, fullName).build();
}

// A font with a full name but no OS/2 table.
inline Bytes fontWithoutOs2(const std::string& fullName) {
    testfonts::FontWriter font;
    font.table("name", testfonts::nameTable({{fullName}}));
    return font.build();
}

struct Member {
    Ranges ranges{};
    std::string fullName;
};

inline Bytes collectionFile(const std::vector<Member>& members) {
    testfonts::CollectionWriter collection;
    for (const auto& m : members) collection.member(testfonts::simpleFont(m.ranges, m.fullName));
    return collection.build();
}

// The file names a search of `folder` for `filePattern` returns, directories
// left out, in the order of the search.
inline std::vector<std::string> searchOrder(const std::string& folder, const std::string& filePattern) {
    std::vector<std::string> names;
    platform::FileSearch search(folder + "\\" + filePattern);
    platform::FoundEntry entry;
    while (search.next(entry)) {
        if ((entry.attributes & platform::kFileAttributeDirectory) == 0) names.push_back(entry.fileName);
    }
    return names;
}

inline std::vector<std::string> singleFileNames(const inventory::FontInventory& fonts) {
    std::vector<std::string> names;
    for (std::int32_t i = 0; i < fonts.singleCount; ++i) {
        names.emplace_back(inventory::slotText(fonts.singleFileNames[static_cast<std::size_t>(i)]));
    }
    return names;
}

inline std::vector<std::string> collectionFileNames(const inventory::FontInventory& fonts) {
    std::vector<std::string> names;
    for (std::int32_t k = 0; k < fonts.collectionCount; ++k) {
        names.emplace_back(inventory::slotText(fonts.collectionFileNames[static_cast<std::size_t>(k)]));
    }
    return names;
}

// Slot index of `name` among `names`, or -1.
inline int indexOf(const std::vector<std::string>& names, const std::string& name) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) return static_cast<int>(i);
    }
    return -1;
}

inline const inventory::FontRecord& memberRecord(const inventory::FontInventory& fonts, int collection, int member) {
    return fonts.collectionRecords[static_cast<std::size_t>(collection * inventory::MaxMembers + member)];
}

// The sorted lines that the matching lists for `bits`.
inline std::vector<std::string> matchingLines(const inventory::FontInventory& fonts,
                                              const std::vector<std::int32_t>& bits) {
    selection::SortedLineList list;
    selection::listMatchingFonts(fonts, bits, list);
    return list.lines();
}

// The process's working folder, changed for the life of the object.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::filesystem::path& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(folder);
    }
    ~WorkingFolder() {
        std::error_code ignored;
        std::filesystem::current_path(previous_, ignored);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

private:
    std::filesystem::path previous_;
};

#ifndef _WIN32
// The environment variable `name` set to `value`, or unset for nullptr, for
// the life of the object.
class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) saved_ = old;
        if (value) {
            setenv(name, value, 1);
        } else {
            unsetenv(name);
        }
    }
    ~EnvironmentScope() {
        if (saved_) {
            setenv(name_.c_str(), saved_->c_str(), 1);
        } else {
            unsetenv(name_.c_str());
        }
    }
    EnvironmentScope(const EnvironmentScope&) = delete;
    EnvironmentScope& operator=(const EnvironmentScope&) = delete;

private:
    std::string name_;
    std::optional<std::string> saved_;
};

// WINDIR set to `value`, or unset for nullptr, for the life of the object.
class WindirScope : public EnvironmentScope {
public:
    explicit WindirScope(const char* value) : EnvironmentScope("WINDIR", value) {}
};
#endif

}  // namespace enginetest
