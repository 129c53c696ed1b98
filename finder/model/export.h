// What the Finder writes of its rows: a CSV file, JSON Lines with the keys of
// meldrove-query --json (docs/json.md), and the tab-separated text that
// Ctrl+C puts on the clipboard.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "finder/model/rows.h"
#include "inventory/font_catalog.h"

namespace finder {

// A header record and one record per row, each ended by CRLF (RFC 4180):
// Name, Style, File, Folder, Face, Format, Covered, Total, Missing,
// Declared agrees, Near miss.
std::string csvOf(const std::vector<Row>& rows);

// One JSON object per row, each on a line of its own ended by "\n", with the
// keys meldrove-query --json --names best writes for the same question.
std::string jsonLinesOf(const inventory::FontCatalog& catalog, const std::vector<Row>& rows);

// The rows at `selected`, a line each of the list's columns separated by
// tabs, lines ended by CRLF as the clipboard's text takes them.
std::string clipboardTextOf(const std::vector<Row>& rows, const std::vector<std::size_t>& selected);

}  // namespace finder
