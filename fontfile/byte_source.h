// Where the readers' bytes come from: a file on disk or bytes in memory.
// Parsing is written once against ByteSource, so tests and fuzzers reach
// every path without touching the file system.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace fontfile {

class ByteSource {
public:
    // Copies up to out.size() bytes from `position` into `out` and returns
    // how many were copied; bytes of `out` past that count are not written.
    virtual std::size_t readAt(std::uint64_t position, std::span<std::uint8_t> out) = 0;
    // How many bytes the source holds: a read reaches its last byte exactly
    // when it ends at or before this size.
    virtual std::uint64_t size() = 0;

protected:
    ~ByteSource() = default;
};

// How many of a table's first bytes a TableWindow holds: the whole of most
// name tables and character maps.
inline constexpr std::size_t kTableWindowSize = 4096;

// Another source, with the kTableWindowSize bytes from `base` on read at
// once. Speed: a read that lies inside them is answered from memory, so a
// table they hold costs one read; where the source ended inside them, a read
// from there on is answered short without asking the source again.
class TableWindow final : public ByteSource {
public:
    TableWindow(ByteSource& source, std::uint64_t base);
    TableWindow(const TableWindow&) = delete;
    TableWindow& operator=(const TableWindow&) = delete;

    std::size_t readAt(std::uint64_t position, std::span<std::uint8_t> out) override;
    std::uint64_t size() override { return source_.size(); }

    // The bytes held from `position` on; none outside them.
    std::span<const std::uint8_t> heldFrom(std::uint64_t position) const;

private:
    ByteSource& source_;
    std::uint64_t base_;
    std::array<std::uint8_t, kTableWindowSize> bytes_;  // only the first held_ are looked at
    std::size_t held_ = 0;
};

// The `length` bytes at `position`, or as many of them as the source holds,
// read `firstChunk` bytes at first and then in doubling steps only while the
// source keeps delivering: a length that lies costs at most about twice the
// bytes that are there.
std::vector<std::uint8_t> readUpTo(ByteSource& source, std::uint64_t position, std::uint32_t length,
                                   std::size_t firstChunk);

class MemorySource final : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::size_t readAt(std::uint64_t position, std::span<std::uint8_t> out) override;
    std::uint64_t size() override { return bytes_.size(); }

private:
    std::span<const std::uint8_t> bytes_;
};

class FileSource final : public ByteSource {
public:
    bool open(const char* path) { return file_.open(path); }
    // The catalog's open: see platform::ReadOnlyFile::openRegular.
    std::optional<platform::OpenRefusal> openRegular(const std::string& path) { return file_.openRegular(path); }
    const platform::FileIdentity& identity() const { return file_.identity(); }
    std::size_t readAt(std::uint64_t position, std::span<std::uint8_t> out) override {
        return file_.readAt(position, out);
    }
    std::uint64_t size() override { return file_.size(); }

private:
    platform::ReadOnlyFile file_;
};

}  // namespace fontfile
