#include "fontfile/byte_source.h"

#include <algorithm>

namespace fontfile {

std::size_t MemorySource::readAt(std::uint64_t position, std::span<std::uint8_t> out) {
    if (position >= bytes_.size()) return 0;
    const auto available = bytes_.size() - static_cast<std::size_t>(position);
    const auto count = std::min(out.size(), available);
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(position), count, out.begin());
    return count;
}

}  // namespace fontfile
