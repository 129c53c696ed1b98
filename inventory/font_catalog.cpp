#include "inventory/font_catalog.h"

#include <algorithm>
#include <array>
#include <limits>
#include <unordered_set>

#include "fontfile/font_reader.h"
#include "inventory/folder_search.h"
#include "inventory/font_inventory.h"
#include "platform/ascii.h"

namespace inventory {

namespace {

using Outcome = fontfile::TableScan::Outcome;

// Each format, in the order the folders are searched for it, indexed by its
// value: its name and the search pattern that finds its files.
struct FormatRow {
    FontFormat format;
    std::string_view name;
    const char* pattern;
};
constexpr std::array<FormatRow, 4> kFormats{{
    {FontFormat::ttf, "ttf", "*.ttf"},
    {FontFormat::otf, "otf", "*.otf"},
    {FontFormat::ttc, "ttc", "*.ttc"},
    {FontFormat::otc, "otc", "*.otc"},
}};
static_assert([] {
    for (std::size_t i = 0; i < kFormats.size(); ++i) {
        if (static_cast<std::size_t>(kFormats[i].format) != i) return false;
    }
    return true;
}());
constexpr std::uint32_t kProgramMembers = fontfile::kMaxMembersRead;

bool wanted(const CatalogRequest& request, FontFormat format) {
    return std::find(request.formats.begin(), request.formats.end(), format) != request.formats.end();
}

// Reads the catalog's files, one open each, and adds their faces.
class CatalogReader {
public:
    CatalogReader(const CatalogRequest& request, FontCatalog& catalog) : request_(request), catalog_(catalog) {}

    void readSingle(std::uint32_t file) {
        fontfile::FileSource source;
        auto face = newFace(file, 0);
        if (!openFile(file, source)) return catalog_.faces.push_back(std::move(face));  // listed without name or ranges
        fontfile::Os2Prefix prefix{};
        if (fontfile::readOs2Prefix(source, prefix) == Outcome::found) face.os2Version = fontfile::os2VersionOf(prefix);
        face.ranges = fontfile::rangesOf(prefix);
        face.hasMacName = fontfile::readFullName(source, path_.data(), face.macName, windowsNameOf(face));
        readExtras(source, 0, face);
        catalog_.faces.push_back(std::move(face));
    }

    // As the program reads a collection, through the same steps, over as
    // many members as the request asks for.
    void readCollection(std::uint32_t file) {
        fontfile::FileSource source;
        if (!openFile(file, source)) return;
        const auto members = fontfile::readCollectionMembers(source, memberLimit());
        catalog_.files[file].numFonts = members.numFonts;
        if (!members.numFonts) return;
        const auto first = catalog_.faces.size();
        const auto count = request_.everyMember ? members.offsets.size() : std::min(*members.numFonts, kProgramMembers);
        for (std::uint32_t m = 0; m < count; ++m) catalog_.faces.push_back(newFace(file, m));
        const auto faces = std::span(catalog_.faces).subspan(first);
        const auto offsets = std::span(members.offsets).first(std::min(faces.size(), members.offsets.size()));

        std::vector<fontfile::Os2Prefix> prefixes(offsets.size());
        std::vector<Outcome> os2(offsets.size(), Outcome::notFound);
        fontfile::readMemberOs2Prefixes(source, offsets, prefixes, os2);
        for (std::size_t m = 0; m < offsets.size(); ++m) {
            if (os2[m] == Outcome::found) faces[m].os2Version = fontfile::os2VersionOf(prefixes[m]);
            faces[m].ranges = fontfile::rangesOf(prefixes[m]);
        }
        for (std::size_t m = 0; m < offsets.size(); ++m) {
            faces[m].hasMacName =
                fontfile::readMemberFullName(source, offsets[m], faces[m].macName, windowsNameOf(faces[m]));
        }
        for (std::size_t m = 0; m < offsets.size(); ++m) readExtras(source, offsets[m], faces[m]);
    }

private:
    // A face whose file or directory cannot be read still has a character map
    // when maps are asked for: one without a cmap table.
    CatalogFace newFace(std::uint32_t file, std::uint32_t member) const {
        CatalogFace face{.file = file, .member = member};
        if (request_.characterMaps) face.characterMap.emplace();
        return face;
    }

    std::uint32_t memberLimit() const {
        return request_.everyMember ? std::numeric_limits<std::uint32_t>::max() : kProgramMembers;
    }

    // A path that does not fit 259 characters is not opened: a cut path could
    // name another file.
    bool openFile(std::uint32_t file, fontfile::FileSource& source) {
        const auto& entry = catalog_.files[file];
        return joinPath(entry.directory, entry.name, path_) && source.open(path_.data());
    }

    // Where the name reader puts the face's Windows name: read with the
    // Macintosh one, from the same bytes, when it is asked for.
    fontfile::WindowsName* windowsNameOf(CatalogFace& face) const {
        return request_.windowsNames ? &face.windowsName : nullptr;
    }

    void readExtras(fontfile::ByteSource& source, std::uint64_t directory, CatalogFace& face) const {
        if (request_.characterMaps) face.characterMap = fontfile::parseCharacterMap(source, directory);
    }

    const CatalogRequest& request_;
    FontCatalog& catalog_;
    PathBuffer path_{};
};

// The files found so far, each by its full path with backslashes and letters
// folded, as Windows compares paths: a file reached twice (a folder named
// twice, a registered file inside a folder read) is read once. The names of
// one search are never each other's twins, even where the file system tells
// case apart: they are only checked against what earlier sources found.
class SeenPaths {
public:
    // Only files from more than one source can be reached twice.
    explicit SeenPaths(const CatalogRequest& request) : needed_(request.folders.size() + request.files.size() > 1) {}

    bool seen(std::string_view directory, std::string_view name) const {
        return needed_ && seen_.contains(key(directory, name));
    }
    void add(std::string_view directory, std::string_view name) {
        if (needed_) seen_.insert(key(directory, name));
    }

private:
    static std::string key(std::string_view directory, std::string_view name) {
        std::string key;
        key.reserve(directory.size() + 1 + name.size());
        key.append(directory).append("\\").append(name);
        for (auto& c : key) c = c == '/' ? '\\' : platform::toUpperAscii(c);
        return key;
    }

    bool needed_;
    std::unordered_set<std::string> seen_;
};

void addFolderFiles(const CatalogRequest& request, bool collections, std::size_t& collectionRoom, SeenPaths& seen,
                    FontCatalog& catalog) {
    for (const auto& folder : request.folders) {
        for (const auto& row : kFormats) {
            const auto format = row.format;
            if (isCollection(format) != collections || !wanted(request, format)) continue;
            const auto limit = collections ? collectionRoom : std::numeric_limits<std::size_t>::max();
            const auto names = findFiles(folder, row.pattern, limit);
            const auto first = catalog.files.size();
            names.forEach([&](std::string_view name) {
                if (!seen.seen(folder, name))
                    catalog.files.push_back({folder, std::string(name), format, std::nullopt});
            });
            for (auto k = first; k < catalog.files.size(); ++k) seen.add(folder, catalog.files[k].name);
            // Only the files kept take room: one reached again leaves it to the next folder's.
            if (collections && !request.everyCollectionFile) collectionRoom -= catalog.files.size() - first;
        }
    }
}

void addSingleFiles(const CatalogRequest& request, bool collections, std::size_t& collectionRoom, SeenPaths& seen,
                    FontCatalog& catalog) {
    for (const auto& path : request.files) {
        const auto split = path.find_last_of("\\/");
        const auto directory = split == std::string::npos ? std::string() : path.substr(0, split);
        const auto name = split == std::string::npos ? path : path.substr(split + 1);
        const auto format = formatOfFileName(name);
        if (!format || isCollection(*format) != collections || !wanted(request, *format)) continue;
        if (collections && !request.everyCollectionFile && collectionRoom == 0) continue;
        if (seen.seen(directory, name)) continue;
        seen.add(directory, name);
        if (collections && !request.everyCollectionFile) --collectionRoom;
        catalog.files.push_back({directory, name, *format, std::nullopt});
    }
}

}  // namespace

std::string_view formatName(FontFormat format) { return kFormats[static_cast<std::size_t>(format)].name; }

std::optional<FontFormat> formatOfFileName(std::string_view fileName) {
    const auto dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    for (const auto& row : kFormats) {
        if (platform::equalIgnoringAsciiCase(fileName.substr(dot + 1), row.name)) return row.format;
    }
    return std::nullopt;
}

FontCatalog buildCatalog(const CatalogRequest& request) {
    FontCatalog catalog;
    // As the program does: every search ends before the first font is read,
    // single fonts are read before collections, and only the first 50
    // collection files are kept unless every one is asked for.
    std::size_t collectionRoom = request.everyCollectionFile ? std::numeric_limits<std::size_t>::max() : MaxCollections;
    SeenPaths seen(request);
    addFolderFiles(request, false, collectionRoom, seen, catalog);
    addSingleFiles(request, false, collectionRoom, seen, catalog);
    const auto singles = static_cast<std::uint32_t>(catalog.files.size());
    addFolderFiles(request, true, collectionRoom, seen, catalog);
    addSingleFiles(request, true, collectionRoom, seen, catalog);

    CatalogReader reader(request, catalog);
    for (std::uint32_t file = 0; file < catalog.files.size(); ++file) {
        if (file < singles) {
            reader.readSingle(file);
        } else {
            reader.readCollection(file);
        }
    }
    return catalog;
}

}  // namespace inventory
