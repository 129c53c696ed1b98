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

TableWindow::TableWindow(ByteSource& source, std::uint64_t base) : source_(source), base_(base) {
    held_ = source.readAt(base, bytes_);
}

std::span<const std::uint8_t> TableWindow::heldFrom(std::uint64_t position) const {
    if (position < base_ || position - base_ > held_) return {};
    return std::span<const std::uint8_t>(bytes_).first(held_).subspan(static_cast<std::size_t>(position - base_));
}

std::size_t TableWindow::readAt(std::uint64_t position, std::span<std::uint8_t> out) {
    const bool inside = position >= base_ && position - base_ <= held_;
    const bool sourceEnded = held_ < bytes_.size();  // then it holds nothing past the bytes held either
    const auto held = heldFrom(position);
    if (!inside || (held.size() < out.size() && !sourceEnded)) return source_.readAt(position, out);
    const auto count = std::min(out.size(), held.size());
    std::copy_n(held.begin(), count, out.begin());
    return count;
}

std::vector<std::uint8_t> readUpTo(ByteSource& source, std::uint64_t position, std::uint32_t length,
                                   std::size_t firstChunk) {
    std::vector<std::uint8_t> bytes;
    std::size_t wanted = std::min<std::size_t>(length, std::max<std::size_t>(firstChunk, 1));
    for (;;) {
        const auto had = bytes.size();
        bytes.resize(wanted);
        const auto got = source.readAt(position + had, std::span(bytes).subspan(had));
        bytes.resize(had + got);
        if (bytes.size() < wanted || wanted == length) return bytes;
        wanted = std::min<std::size_t>(length, 2 * wanted);
    }
}

}  // namespace fontfile
