// Which call registers the main window's class: the extended one, with its
// own 16 x 16 icon, only where the system asks for it.
#pragma once

#include <cstdint>

namespace app {

enum class ClassRegistration { Plain, Extended };

// From the system version value: the NT family (top bit clear) and the older
// systems below major version 4 take the plain call; the others, version 4
// and later, the extended one.
constexpr ClassRegistration classRegistrationFor(std::uint32_t version) {
    const bool ntFamily = (version & 0x80000000u) == 0;
    const auto majorVersion = version & 0xFFu;
    return ntFamily || majorVersion < 4 ? ClassRegistration::Plain : ClassRegistration::Extended;
}

}  // namespace app
