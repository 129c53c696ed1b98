#include <array>
#include <string_view>

#include "platform/ascii.h"
#include "platform/platform.h"

namespace platform {

bool isReservedDeviceName(std::string_view fileName) {
    // Windows reads the name up to its first dot, blanks before the dot
    // left out, as the device's.
    auto stem = fileName.substr(0, fileName.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    constexpr std::array<std::string_view, 6> kDevices{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const auto device : kDevices) {
        if (equalIgnoringAsciiCase(stem, device)) return true;
    }
    // COM1-COM9 and LPT1-LPT9.
    const bool port = stem.size() == 4 && (equalIgnoringAsciiCase(stem.substr(0, 3), "COM") ||
                                           equalIgnoringAsciiCase(stem.substr(0, 3), "LPT"));
    return port && stem[3] >= '1' && stem[3] <= '9';
}

}  // namespace platform
