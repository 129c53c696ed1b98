// How Windows reads a path, for the paths the registry hands over.
#pragma once

#include <string_view>

namespace platform {

constexpr bool isWindowsSeparator(char c) { return c == '\\' || c == '/'; }

// A path that names the same file whatever the working folder and drive:
// "C:\..." or a network path "\\server\share\...". "C:x" (relative to the
// drive's working folder) and "\x" (to the working drive) are not.
constexpr bool isAbsoluteWindowsPath(std::string_view path) {
    if (path.size() >= 2 && isWindowsSeparator(path[0]) && isWindowsSeparator(path[1])) return true;
    const bool driveLetter =
        path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return driveLetter && path[1] == ':' && isWindowsSeparator(path[2]);
}

}  // namespace platform
