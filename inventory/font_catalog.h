// The font catalog: every face of the fonts a user has, for the command-line
// tool's extended modes. It shares the readers with the FontInventory but
// not its capacities: any number of folders and files, OpenType files, and,
// when asked, every member of a collection and every collection file.
// Without those requests it keeps the program's capacities (10 members a
// collection, 50 collection files), and then lists exactly the faces the
// FontInventory lists, in its order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fontfile/character_map.h"
#include "fontfile/sfnt.h"

namespace inventory {

enum class FontFormat : std::uint8_t { ttf, otf, ttc, otc };

constexpr bool isCollection(FontFormat format) { return format == FontFormat::ttc || format == FontFormat::otc; }
// "ttf", "otf", "ttc" or "otc".
std::string_view formatName(FontFormat format);
// The format a file name's extension names, letters in either case.
std::optional<FontFormat> formatOfFileName(std::string_view fileName);

// A file reached twice, by the same full path (letters in either case, either
// separator), is read once: the first time.
struct CatalogRequest {
    std::vector<std::string> folders;  // searched in this order, each without a separator at its end
    std::vector<std::string> files;    // full paths read besides, by their extension's format
    std::vector<FontFormat> formats{FontFormat::ttf, FontFormat::ttc};
    bool everyMember = false;          // every member of a collection, not only the first 10
    bool everyCollectionFile = false;  // every collection file found, not only the first 50
    bool windowsNames = false;
    bool characterMaps = false;
};

struct CatalogFile {
    std::string directory;  // as the request named it; for a file of `files`, the part before its last separator
    std::string name;       // the file name alone
    FontFormat format = FontFormat::ttf;
    std::optional<std::uint32_t> numFonts;  // a collection's, as its header holds it
};

struct CatalogFace {
    std::uint32_t file = 0;    // index in FontCatalog::files
    std::uint32_t member = 0;  // 0 for a single font
    std::optional<std::uint16_t> os2Version;
    fontfile::UnicodeRangeSet ranges{};
    fontfile::NameSlot macName{};  // the program's full name: raw bytes, at most 99
    bool hasMacName = false;
    std::optional<std::vector<std::uint8_t>> windowsName;  // UTF-16BE, when asked for and found
    std::optional<fontfile::CharacterMap> characterMap;    // for every face, when asked for
};

struct FontCatalog {
    std::vector<CatalogFile> files;
    // Single fonts first, then collection members, each in the order their
    // files were found: the order in which the program adds its lines.
    std::vector<CatalogFace> faces;
};

// Reads every face the request names. Damaged fonts are told on the readers'
// diagnostic stream as the program tells them, and a table directory cut off
// before its name record ends the process with exit code -1, as there.
FontCatalog buildCatalog(const CatalogRequest& request);

}  // namespace inventory
