// What each system supplies behind ReadOnlyFile: a file opened by its path,
// read at a position and closed. Private to the platform layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "platform/platform.h"

namespace platform::native {

// The system's handle of the file at `path` (a path with backslashes),
// opened for reading only; nothing when it cannot be opened.
std::optional<std::intptr_t> openForReading(const char* path);

// A regular file opened for the catalog, with what the system said of it.
struct RegularFile {
    std::intptr_t handle = -1;
    FileIdentity identity;
    std::uint64_t size = 0;
};

// The file at `path` (in the catalog's encoding) opened for reading only
// when it is a regular file; otherwise why not.
std::variant<RegularFile, OpenRefusal> openRegularForReading(const std::string& path);

// Reads up to out.size() bytes at `position`; how many were read (fewer at
// the end of the file), or nothing when the handle cannot be read at a
// position at all, as a folder or a pipe.
std::optional<std::size_t> readAt(std::intptr_t handle, std::uint64_t position, std::span<std::uint8_t> out);

// The same at position 0, for the first read after the open: the open
// leaves a file at its start, so on Windows the file pointer is not set
// first.
std::optional<std::size_t> readStart(std::intptr_t handle, std::span<std::uint8_t> out);

// The file's size in bytes, or nothing when the system cannot tell.
std::optional<std::uint64_t> sizeOf(std::intptr_t handle);

void close(std::intptr_t handle);

}  // namespace platform::native
