// Where the readers' bytes come from: a file on disk or bytes in memory.
// Parsing is written once against ByteSource, so tests and fuzzers reach
// every path without touching the file system.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

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
    std::size_t readAt(std::uint64_t position, std::span<std::uint8_t> out) override {
        return file_.readAt(position, out);
    }
    std::uint64_t size() override { return file_.size(); }

private:
    platform::ReadOnlyFile file_;
};

}  // namespace fontfile
