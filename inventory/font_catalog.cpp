#include "inventory/font_catalog.h"

#include <algorithm>
#include <array>
#include <functional>
#include <limits>
#include <span>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "fontfile/font_reader.h"
#include "platform/ascii.h"

namespace inventory {

namespace {

using Outcome = fontfile::TableScan::Outcome;
using NoteKind = CatalogNote::Kind;

// Each format, in the order a folder's files are taken, indexed by its value.
struct FormatRow {
    FontFormat format;
    std::string_view name;
};
constexpr std::array<FormatRow, 4> kFormats{{
    {FontFormat::ttf, "ttf"},
    {FontFormat::otf, "otf"},
    {FontFormat::ttc, "ttc"},
    {FontFormat::otc, "otc"},
}};
static_assert([] {
    for (std::size_t i = 0; i < kFormats.size(); ++i) {
        if (static_cast<std::size_t>(kFormats[i].format) != i) return false;
    }
    return true;
}());

constexpr std::uint32_t kProgramMembers = fontfile::kMaxMembersRead;
constexpr std::size_t kProgramCollectionFiles = 50;  // MaxCollections of the FontInventory

// The first four bytes of a font file: a TrueType or CFF table directory's
// sfntVersion, an old Macintosh TrueType one, or a collection's tag.
constexpr std::array<fontfile::Tag, 4> kFontFileTags{{
    {0x00, 0x01, 0x00, 0x00},
    {'O', 'T', 'T', 'O'},
    {'t', 'r', 'u', 'e'},
    {'t', 't', 'c', 'f'},
}};

bool wanted(const CatalogRequest& request, FontFormat format) {
    return std::find(request.formats.begin(), request.formats.end(), format) != request.formats.end();
}

std::string joined(std::string_view directory, std::string_view name) {
    std::string path;
    path.reserve(directory.size() + 1 + name.size());
    return path.append(directory).append(directory.empty() ? "" : "\\").append(name);
}

// The formats asked for, as "ttf, ttc", for the notes.
std::string formatList(const CatalogRequest& request) {
    std::string list;
    for (const auto format : request.formats) list.append(list.empty() ? "" : ", ").append(formatName(format));
    return list;
}

struct IdentityHash {
    std::size_t operator()(const platform::FileIdentity& id) const {
        return std::hash<std::uint64_t>()(id.file * 0x9E3779B97F4A7C15u ^ id.volume);
    }
};
using Identities = std::unordered_set<platform::FileIdentity, IdentityHash>;

// A file to read, as its source found it.
struct Candidate {
    std::string directory;
    std::string name;
    FontFormat format;
};

// ---- Finding the files ---------------------------------------------------------

// The files of the request's sources, singles and collections apart, in the
// catalog's order; what cannot be searched, and the sources that hold no
// font file, go into the notes.
class SourceSearch {
public:
    SourceSearch(const CatalogRequest& request, std::vector<CatalogNote>& notes) : request_(request), notes_(notes) {}

    void run() {
        for (std::size_t s = 0; s < request_.folders.size(); ++s) searchFolderSource(s);
        for (std::size_t s = 0; s < request_.files.size(); ++s) addFileSource(s);
    }

    std::vector<Candidate> singles;
    std::vector<Candidate> collections;

private:
    struct Listing {
        std::string path;
        std::vector<platform::FolderEntry> entries;
    };

    void searchFolderSource(std::size_t s) {
        const auto& folder = request_.folders[s];
        std::vector<Listing> listings;
        const NoteSource source{NoteSource::Kind::folder, s};
        if (!list(folder.path, folder.recursive, listings, source)) return;
        const auto found = singles.size() + collections.size();
        for (const auto& listing : listings) take(listing);
        if (singles.size() + collections.size() == found) {
            notes_.push_back(
                {NoteKind::noFontFiles, folder.path, std::nullopt,
                 "no font files (" + formatList(request_) + ")" + (folder.recursive ? " in it or its subfolders" : ""),
                 source});
        }
    }

    // Lists `path` and, when recursive, the folders under it, depth first,
    // each folder once; false when `path` itself cannot be listed.
    bool list(const std::string& path, bool recursive, std::vector<Listing>& listings,
              std::optional<NoteSource> source) {
        if (recursive) {
            const auto identity = platform::folderIdentity(path);
            if (identity && !visited_.insert(*identity).second) return true;  // reached again through a link
        }
        auto entries = platform::listFolder(path);
        if (!entries) {
            notes_.push_back({NoteKind::unreadableFolder, path, std::nullopt, "cannot be listed", source});
            return false;
        }
        listings.push_back({path, std::move(*entries)});
        if (!recursive) return true;
        const auto at = listings.size() - 1;
        std::vector<std::string> subfolders;
        for (const auto& entry : listings[at].entries) {
            if (entry.kind == platform::EntryKind::folder) subfolders.push_back(joined(path, entry.name));
        }
        for (const auto& subfolder : subfolders) list(subfolder, true, listings, std::nullopt);
        return true;
    }

    // The font files of one folder, a format at a time, each in folder order.
    void take(const Listing& listing) {
        for (const auto& row : kFormats) {
            if (!wanted(request_, row.format)) continue;
            for (const auto& entry : listing.entries) {
                if (entry.kind == platform::EntryKind::folder || formatOfFileName(entry.name) != row.format) continue;
                if (entry.kind == platform::EntryKind::other) {
                    notes_.push_back({NoteKind::notARegularFile, joined(listing.path, entry.name), std::nullopt,
                                      "is not a regular file (a device, socket, FIFO or broken link); not read",
                                      std::nullopt});
                    continue;
                }
                add({listing.path, entry.name, row.format});
            }
        }
    }

    void addFileSource(std::size_t s) {
        const auto& path = request_.files[s];
        const auto split = path.find_last_of("\\/");
        Candidate file{split == std::string::npos ? std::string() : path.substr(0, split),
                       split == std::string::npos ? path : path.substr(split + 1), FontFormat::ttf};
        const auto format = formatOfFileName(file.name);
        if (!format || !wanted(request_, *format)) {
            notes_.push_back({NoteKind::noFontFiles, path, std::nullopt,
                              "is not named as a font file of the formats read (" + formatList(request_) + ")",
                              NoteSource{NoteSource::Kind::file, s}});
            return;
        }
        file.format = *format;
        add(std::move(file));
    }

    void add(Candidate file) { (isCollection(file.format) ? collections : singles).push_back(std::move(file)); }

    const CatalogRequest& request_;
    std::vector<CatalogNote>& notes_;
    Identities visited_;
};

// ---- Reading the faces ----------------------------------------------------------

// What one table directory gives every face that names it.
struct DirectoryData {
    bool cutOff = false;     // before its name record, or in its offset table: no face
    bool os2CutOff = false;  // before its OS/2 record
    bool hasNameTable = false;
    std::optional<std::uint16_t> os2Version;
    fontfile::UnicodeRangeSet ranges{};
    fontfile::NameSlot macName{};
    bool hasMacName = false;
    std::shared_ptr<const std::vector<std::uint8_t>> windowsName;
    std::shared_ptr<const fontfile::CharacterMap> characterMap;
    std::shared_ptr<const fontfile::LayoutTables> layout;
    fontfile::Os2Style style;
    std::vector<std::string> layoutDamage;  // one note for each damaged table
};

// A damaged layout table is told, then read as one the font does not have.
void setAsideDamage(fontfile::LayoutTable& table, std::string_view name, std::vector<std::string>& damage) {
    if (table.outcome != fontfile::LayoutTable::Outcome::damaged) return;
    damage.push_back("its " + std::string(name) + " table is damaged (" + (table.damage ? table.damage : "unreadable") +
                     "); read as absent");
    table = fontfile::LayoutTable{};
}

class CatalogReader {
public:
    CatalogReader(const CatalogRequest& request, FontCatalog& catalog) : request_(request), catalog_(catalog) {}

    // Reads one file found by a source; false when it is not kept (it cannot
    // be opened, it was read before, or it is not a font file).
    bool read(const Candidate& candidate) {
        const auto path = joined(candidate.directory, candidate.name);
        fontfile::FileSource source;
        if (const auto refusal = source.openRegular(path)) {
            noteRefusal(*refusal, path);
            return false;
        }
        if (!seen_.insert(source.identity()).second) return false;  // the same file, reached again
        if (!isFontFile(source)) {
            note(NoteKind::notAFont, path, std::nullopt, "is not a font file (no sfnt or collection header); left out");
            return false;
        }
        const auto file = static_cast<std::uint32_t>(catalog_.files.size());
        catalog_.files.push_back({candidate.directory, candidate.name, candidate.format, std::nullopt});
        if (isCollection(candidate.format)) {
            readCollection(source, file, path);
        } else {
            readSingle(source, file, path);
        }
        return true;
    }

private:
    void note(NoteKind kind, const std::string& path, std::optional<std::uint32_t> member, std::string message) {
        catalog_.notes.push_back({kind, path, member, std::move(message), std::nullopt});
    }

    void noteRefusal(platform::OpenRefusal refusal, const std::string& path) {
        switch (refusal) {
            case platform::OpenRefusal::cannotOpen:
                return note(NoteKind::unreadableFile, path, std::nullopt, "cannot be opened");
            case platform::OpenRefusal::notARegularFile:
                return note(NoteKind::notARegularFile, path, std::nullopt,
                            "is not a regular file (a folder, device, socket or FIFO); not read");
            case platform::OpenRefusal::deviceName:
                return note(NoteKind::deviceName, path, std::nullopt,
                            "is named as a Windows device (NUL, CON, COM1, ...); not opened");
        }
    }

    static bool isFontFile(fontfile::ByteSource& source) {
        fontfile::Tag tag{};
        if (source.readAt(0, tag) != tag.size()) return false;
        return std::find(kFontFileTags.begin(), kFontFileTags.end(), tag) != kFontFileTags.end();
    }

    void readSingle(fontfile::ByteSource& source, std::uint32_t file, const std::string& path) {
        const auto data = readDirectory(source, 0);
        noteDirectory(data, path, std::nullopt, 1);
        if (!data.cutOff) catalog_.faces.push_back(faceOf(data, file, 0));
    }

    // Each distinct table directory is read once, and its faces share what
    // it gives; the members read are at most what the file holds offsets for.
    void readCollection(fontfile::FileSource& source, std::uint32_t file, const std::string& path) {
        const std::uint64_t size = source.size();
        const auto offsetsHeld = size > fontfile::kCollectionHeaderSize
                                     ? (size - fontfile::kCollectionHeaderSize) / fontfile::kMemberOffsetSize
                                     : 0;
        const std::uint32_t capacity =
            request_.everyMember ? std::numeric_limits<std::uint32_t>::max() : kProgramMembers;
        const auto limit = static_cast<std::uint32_t>(std::min<std::uint64_t>(capacity, offsetsHeld));
        const auto members = fontfile::readCollectionMembers(source, limit);
        catalog_.files[file].numFonts = members.numFonts;
        if (!members.numFonts) {
            return note(NoteKind::collectionCutOff, path, std::nullopt, "its collection header is cut off; left out");
        }
        const auto declared = std::min(*members.numFonts, capacity);
        if (members.offsets.size() < declared) {
            note(NoteKind::collectionCutOff, path, std::nullopt,
                 "its member offsets end after " + std::to_string(members.offsets.size()) + " of " +
                     std::to_string(declared) + "; the members past them are left out");
        }

        struct Directory {
            DirectoryData data;
            std::uint32_t firstMember = 0;
            std::size_t members = 0;
        };
        // Room for the members at once, without giving up the doubling
        // that keeps many small collections linear.
        auto& faces = catalog_.faces;
        if (faces.size() + members.offsets.size() > faces.capacity()) {
            faces.reserve(std::max(faces.size() + members.offsets.size(), 2 * faces.capacity()));
        }
        std::vector<Directory> directories;
        std::unordered_map<std::uint32_t, std::size_t> byOffset;
        for (std::uint32_t m = 0; m < members.offsets.size(); ++m) {
            const auto [at, isNew] = byOffset.try_emplace(members.offsets[m], directories.size());
            if (isNew) directories.push_back({readDirectory(source, members.offsets[m]), m, 0});
            auto& directory = directories[at->second];
            ++directory.members;
            if (!directory.data.cutOff) catalog_.faces.push_back(faceOf(directory.data, file, m));
        }
        for (const auto& directory : directories) {
            noteDirectory(directory.data, path, directory.firstMember, directory.members);
        }
    }

    DirectoryData readDirectory(fontfile::ByteSource& source, std::uint64_t position) const {
        DirectoryData data;
        std::array<std::uint8_t, fontfile::kOffsetTableSize> offsetTable;
        if (source.readAt(position, offsetTable) != offsetTable.size()) {
            data.cutOff = true;
            return data;
        }
        fontfile::Os2Prefix prefix{};
        const auto os2 = fontfile::parseOs2PrefixAt(source, position, prefix);
        data.os2CutOff = os2 == Outcome::shortRecord;
        if (os2 == Outcome::found) {
            data.os2Version = fontfile::os2VersionOf(prefix);
            data.style = fontfile::styleOf(prefix);
        }
        data.ranges = fontfile::rangesOf(prefix);
        fontfile::WindowsName windowsName;
        const auto name = fontfile::parseFullNameAt(source, position, data.macName, &data.hasMacName,
                                                    request_.windowsNames ? &windowsName : nullptr);
        data.cutOff = name.outcome == Outcome::shortRecord;
        data.hasNameTable = name.outcome == Outcome::found;
        if (data.cutOff) return data;
        if (windowsName) data.windowsName = std::make_shared<const std::vector<std::uint8_t>>(std::move(*windowsName));
        if (request_.characterMaps) {
            data.characterMap =
                std::make_shared<const fontfile::CharacterMap>(fontfile::parseCharacterMap(source, position));
        }
        if (request_.layoutTables) {
            auto layout = fontfile::parseLayoutTables(source, position);
            setAsideDamage(layout.gsub, "GSUB", data.layoutDamage);
            setAsideDamage(layout.gpos, "GPOS", data.layoutDamage);
            data.layout = std::make_shared<const fontfile::LayoutTables>(std::move(layout));
        }
        return data;
    }

    static CatalogFace faceOf(const DirectoryData& data, std::uint32_t file, std::uint32_t member) {
        return {.file = file,
                .member = member,
                .os2Version = data.os2Version,
                .ranges = data.ranges,
                .macName = data.macName,
                .hasMacName = data.hasMacName,
                .windowsName = data.windowsName,
                .characterMap = data.characterMap,
                .layout = data.layout,
                .style = data.style};
    }

    // The notes of one directory, once for all the `members` that name it.
    void noteDirectory(const DirectoryData& data, const std::string& path, std::optional<std::uint32_t> member,
                       std::size_t members) {
        const auto others = members > 1 ? " (and " + std::to_string(members - 1) + " more faces naming it)" : "";
        if (data.cutOff) {
            return note(NoteKind::directoryCutOff, path, member,
                        "its table directory is cut off before its name table; left out" + others);
        }
        if (data.os2CutOff) {
            note(NoteKind::os2CutOff, path, member,
                 "its table directory is cut off before its OS/2 table; listed without range bits" + others);
        }
        if (!data.hasNameTable)
            note(NoteKind::noNameTable, path, member, "has no name table; listed without a name" + others);
        for (const auto& damage : data.layoutDamage) note(NoteKind::damagedLayout, path, member, damage + others);
    }

    const CatalogRequest& request_;
    FontCatalog& catalog_;
    Identities seen_;
};

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
    // and single fonts are read before collections.
    SourceSearch search(request, catalog.notes);
    search.run();
    CatalogReader reader(request, catalog);
    for (const auto& file : search.singles) reader.read(file);
    // Only the collection files kept take room among the program's fifty.
    std::size_t room = request.everyCollectionFile ? search.collections.size() : kProgramCollectionFiles;
    for (const auto& file : search.collections) {
        if (room == 0) break;
        if (reader.read(file)) --room;
    }
    return catalog;
}

std::string systemPath(std::string path) {
#ifdef _WIN32
    std::replace(path.begin(), path.end(), '/', '\\');
#else
    std::replace(path.begin(), path.end(), '\\', '/');
#endif
    return path;
}

}  // namespace inventory
