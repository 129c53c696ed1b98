// The cost of the file system itself: plain loops that open every font of a
// folder and read, in as few calls as the bytes allow, exactly what the
// inventory keeps (a font's table directory, its OS/2 prefix, its name header
// and records and the chosen name string), and nothing else. Like the
// engine's platform layer they read a file's first KiB with the open and take
// from it what lies there, so that the engine is never compared with a floor
// that makes more calls than it does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "inventory/font_inventory.h"

namespace bench {

// What a pass over a folder found, summed so that two passes that read the
// same fonts give the same digest whatever their order.
struct Digest {
    std::size_t singleFiles = 0;
    std::size_t collectionFiles = 0;
    std::size_t fonts = 0;  // single fonts and the collection members read
    std::uint64_t sum = 0;  // every range word and every byte of every full name

    bool sameFonts(const Digest& other) const { return fonts == other.fonts && sum == other.sum; }
};

enum class Opens {
    once,       // one listing of the folder; every file opened once, both things read together
    perReader,  // one listing per pattern; every file opened twice, once for the OS/2 prefix, once for the name
};

// Reads every *.ttf and the first 10 members of every *.ttc of `folder`
// (a POSIX path). Damaged fonts are read as far as they go; nothing is printed.
Digest readFloor(const std::string& folder, Opens opens);

// The same digest over a built inventory.
Digest digestOf(const inventory::FontInventory& fonts);

}  // namespace bench
