#include "font_writer.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <random>
#include <stdexcept>

namespace testfonts {

void putU16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void putU32(Bytes& out, std::uint32_t value) {
    putU16(out, static_cast<std::uint16_t>(value >> 16));
    putU16(out, static_cast<std::uint16_t>(value));
}

Bytes os2Table(const Ranges& ranges, std::size_t length) {
    Bytes table(42, 0xEE);
    table[0] = 0;
    table[1] = length >= 86 ? 1 : 0;  // version
    for (auto word : ranges) putU32(table, word);
    table.resize(std::max<std::size_t>(length, table.size()), 0xEE);
    table.resize(length);
    return table;
}

Bytes nameTable(const std::vector<NameEntry>& entries, std::optional<std::uint16_t> stringOffset) {
    Bytes table;
    const auto count = static_cast<std::uint16_t>(entries.size());
    putU16(table, 0);
    putU16(table, count);
    putU16(table, stringOffset.value_or(static_cast<std::uint16_t>(6 + 12 * count)));
    std::string storage;
    for (const auto& e : entries) {
        putU16(table, e.platformID);
        putU16(table, e.encodingID);
        putU16(table, e.languageID);
        putU16(table, e.nameID);
        putU16(table, e.length.value_or(static_cast<std::uint16_t>(e.text.size())));
        putU16(table, e.offset.value_or(static_cast<std::uint16_t>(storage.size())));
        storage += e.text;
    }
    table.insert(table.end(), storage.begin(), storage.end());
    return table;
}

FontWriter& FontWriter::table(const std::string& tag, Bytes data) {
    tables_.push_back({tag, std::move(data), std::nullopt});
    return *this;
}

FontWriter& FontWriter::tableAt(const std::string& tag, std::uint32_t offset) {
    tables_.push_back({tag, {}, offset});
    return *this;
}

FontWriter& FontWriter::declaredNumTables(std::uint16_t numTables) {
    numTables_ = numTables;
    return *this;
}

Bytes FontWriter::build(std::uint32_t base) const {
    Bytes out;
    putU32(out, 0x00010000);  // sfntVersion
    putU16(out, numTables_.value_or(static_cast<std::uint16_t>(tables_.size())));
    putU16(out, 0);
    putU16(out, 0);
    putU16(out, 0);
    auto next = static_cast<std::uint32_t>(base + directorySize());
    for (const auto& t : tables_) {
        if (t.tag.size() != 4) throw std::invalid_argument("a tag has four characters");
        out.insert(out.end(), t.tag.begin(), t.tag.end());
        putU32(out, 0);  // checkSum
        putU32(out, t.fixedOffset.value_or(next));
        putU32(out, static_cast<std::uint32_t>(t.data.size()));
        if (!t.fixedOffset) next += static_cast<std::uint32_t>(t.data.size());
    }
    for (const auto& t : tables_) out.insert(out.end(), t.data.begin(), t.data.end());
    return out;
}

FontWriter simpleFont(const Ranges& ranges, const std::string& fullName) {
    FontWriter font;
    font.table("OS/2", os2Table(ranges));
    if (!fullName.empty()) font.table("name", nameTable({{fullName}}));
    return font;
}

CollectionWriter& CollectionWriter::member(FontWriter font) {
    members_.push_back({std::move(font), 0});
    return *this;
}

CollectionWriter& CollectionWriter::memberAt(std::uint32_t offset) {
    members_.push_back({std::nullopt, offset});
    return *this;
}

CollectionWriter& CollectionWriter::declaredNumFonts(std::uint32_t numFonts) {
    numFonts_ = numFonts;
    return *this;
}

Bytes CollectionWriter::build() const {
    Bytes out{'t', 't', 'c', 'f'};
    putU32(out, 0x00010000);
    putU32(out, numFonts_.value_or(static_cast<std::uint32_t>(members_.size())));
    auto next = static_cast<std::uint32_t>(12 + 4 * members_.size());
    std::vector<Bytes> bodies;
    for (const auto& m : members_) {
        if (!m.font) {
            putU32(out, m.fixedOffset);
            continue;
        }
        putU32(out, next);
        bodies.push_back(m.font->build(next));
        next += static_cast<std::uint32_t>(bodies.back().size());
    }
    for (const auto& body : bodies) out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::uint32_t CollectionWriter::memberOffset(std::size_t index) const {
    auto next = static_cast<std::uint32_t>(12 + 4 * members_.size());
    for (std::size_t i = 0; i < members_.size(); ++i) {
        const auto& m = members_[i];
        if (!m.font) {
            if (i == index) return m.fixedOffset;
            continue;
        }
        if (i == index) return next;
        next += static_cast<std::uint32_t>(m.font->build(next).size());
    }
    throw std::out_of_range("no such member");
}

TempFolder::TempFolder() {
    static std::atomic<unsigned> serial{0};
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("meldrove-test-" + std::to_string(random()) + "-" + std::to_string(serial++));
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::write(const std::string& name, const Bytes& bytes) const {
    const auto file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + file.string());
    return (std::filesystem::path(enginePath()) / name).string();
}

void TempFolder::makeFolder(const std::string& name) const { std::filesystem::create_directories(path_ / name); }

std::string TempFolder::enginePath() const { return path_.string(); }

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace testfonts
