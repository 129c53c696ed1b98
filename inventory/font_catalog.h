// The font catalog: every face of the fonts a user has, for the command-line
// tool and the Finder. It shares the readers' parsing with the FontInventory
// but not its capacities, its diagnostics nor its exit: any number of
// folders (searched recursively when asked) and files, OpenType files, and,
// when asked, every member of a collection and every collection file. It
// never prints and never ends the process: what it cannot read, or reads
// only in part, it tells in its notes, and every other font is still read.
//
// Names. Every path and file name of a request and of the catalog is in the
// catalog's encoding (FontCatalog::namesAreUtf8, platform::kCatalogNamesAreUtf8):
// UTF-8 on Windows, where files are found and opened by their UTF-16 names
// (a long path as a \\?\ path), so that no font is lost to the ANSI code
// page; elsewhere the bytes the system gives. Paths are joined with a
// backslash, which the platform reads as a separator, and may be of any
// length the system can open.
//
// Order. Single fonts come first, then collection members, each in the
// order their files were found: the sources in the request's order, folders
// before files; in a folder its own files, a format at a time (ttf, otf;
// then ttc, otc), each in the directory search's order, then, when it is
// read recursively, each of its subfolders in that order, depth first. This
// is the order in which the program adds its lines.
//
// The same file reached twice (x/ and ./x, a link, a folder inside another
// that is also named, a registered file inside a folder read, a hard link)
// is read once, the first time: files are told apart by their identity,
// the volume and file number the system gives with the open, not by their
// path. A folder reached again through a link while searching recursively
// is not searched again.
//
// Without everyMember and everyCollectionFile the catalog keeps the
// program's capacities (the first 10 members of a collection, the first 50
// collection files, counting only those it keeps).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fontfile/character_map.h"
#include "fontfile/layout_tables.h"
#include "fontfile/sfnt.h"
#include "platform/platform.h"

namespace inventory {

enum class FontFormat : std::uint8_t { ttf, otf, ttc, otc };

constexpr bool isCollection(FontFormat format) { return format == FontFormat::ttc || format == FontFormat::otc; }
// "ttf", "otf", "ttc" or "otc".
std::string_view formatName(FontFormat format);
// The format a file name's extension names, letters in either case.
std::optional<FontFormat> formatOfFileName(std::string_view fileName);

// A folder, and whether its subfolders are searched too.
using CatalogFolder = platform::FontFolder;

struct CatalogRequest {
    std::vector<CatalogFolder> folders;  // searched in this order, each without a separator at its end
    std::vector<std::string> files;      // full paths read besides, by their extension's format
    std::vector<FontFormat> formats{FontFormat::ttf, FontFormat::ttc};
    bool everyMember = false;          // every member of a collection, not only the first 10
    bool everyCollectionFile = false;  // every collection file found, not only the first 50
    bool windowsNames = false;
    bool characterMaps = false;
    bool layoutTables = false;  // GSUB and GPOS: the scripts and features they declare
};

struct CatalogFile {
    // The folder it was found in (a subfolder's full path when found below
    // a source folder); for a file of `files`, the part before its last
    // separator.
    std::string directory;
    std::string name;  // the file name alone
    FontFormat format = FontFormat::ttf;
    std::optional<std::uint32_t> numFonts;  // a collection's, as its header holds it
};

// A path the catalog (or the engine) joined with backslashes as this system
// writes it and its file functions take it: with slashes but on Windows.
std::string systemPath(std::string path);

// What the catalog knows of a face. The tables of one table directory are
// read once per file, however many members name it: members that share a
// directory share its Windows name and character map objects.
struct CatalogFace {
    std::uint32_t file = 0;    // index in FontCatalog::files
    std::uint32_t member = 0;  // 0 for a single font
    std::optional<std::uint16_t> os2Version;
    fontfile::UnicodeRangeSet ranges{};
    fontfile::NameSlot macName{};  // the program's full name: raw bytes, at most 99
    bool hasMacName = false;
    std::shared_ptr<const std::vector<std::uint8_t>> windowsName;  // UTF-16BE, when asked for and found
    std::shared_ptr<const fontfile::CharacterMap> characterMap;    // for every face, when asked for
    // When asked for; a damaged table (noted) reads as one that is absent.
    std::shared_ptr<const fontfile::LayoutTables> layout;
    fontfile::Os2Style style;  // from the OS/2 table; weight 0 without one
};

// Where a note about a source that holds no font points in the request.
struct NoteSource {
    enum class Kind : std::uint8_t { folder, file };
    Kind kind = Kind::folder;
    std::size_t index = 0;  // in CatalogRequest::folders or ::files
};

// Something the catalog could not read, or read only in part.
struct CatalogNote {
    enum class Kind : std::uint8_t {
        noFontFiles,       // a source with no file of the formats asked for (`source` says which)
        unreadableFolder,  // a folder that cannot be listed; a source folder gets `source`
        unreadableFile,    // a file that cannot be opened, or read
        notARegularFile,   // a folder, device, socket, FIFO or other special file named as a font file
        deviceName,        // on Windows, a name that stands for a device (NUL, CON, COM1, ...)
        notAFont,          // no sfnt version, 'ttcf', 'OTTO' or 'true' at its start: left out
        collectionCutOff,  // a collection's header or member offsets cut off: the members there are left out
        directoryCutOff,   // a face whose table directory is cut off before its name record: left out
        os2CutOff,         // a face whose table directory is cut off before its OS/2 record: no range bits
        noNameTable,       // a face without a name table: listed without a name
        damagedLayout,     // a GSUB or GPOS table whose layout cannot be known: read as absent
    };
    Kind kind = Kind::unreadableFile;
    std::string path;                     // the file or folder, in the catalog's encoding
    std::optional<std::uint32_t> member;  // the face, in a collection
    std::string message;                  // what was found, in plain English, without the path
    std::optional<NoteSource> source;     // for a source that holds no font, or cannot be listed
};

struct FontCatalog {
    std::vector<CatalogFile> files;
    // Single fonts first, then collection members, in the order above: the
    // order in which the program adds its lines.
    std::vector<CatalogFace> faces;
    // In the order found: the sources' notes while they are searched, then
    // each file's as it is read.
    std::vector<CatalogNote> notes;
    // Whether the paths and names above are UTF-8 (on Windows) or the
    // system's bytes.
    bool namesAreUtf8 = platform::kCatalogNamesAreUtf8;
};

// Reads every face the request names, within its capacities. Work and
// memory are bounded by the bytes of the files: a collection's members are
// at most what its file's size holds offsets for, and each table directory
// is parsed once however many members name it.
FontCatalog buildCatalog(const CatalogRequest& request);

}  // namespace inventory
