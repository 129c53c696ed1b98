#include <algorithm>

#include "platform/native_file.h"
#include "platform/platform.h"

namespace platform {

namespace {

// Copies what `bytes`, a file's first bytes, hold from `position` on into `out`.
std::size_t copyAt(std::span<const std::uint8_t> bytes, std::uint64_t position, std::span<std::uint8_t> out) {
    if (position >= bytes.size()) return 0;
    const auto count = std::min(out.size(), bytes.size() - static_cast<std::size_t>(position));
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(position), count, out.begin());
    return count;
}

}  // namespace

ReadOnlyFile::~ReadOnlyFile() { close(); }

bool ReadOnlyFile::open(const char* path) {
    close();
    const auto handle = native::openForReading(path);
    if (!handle) return false;
    // Reading the start at once both serves the first reads, which every
    // reader makes there, and refuses what Windows would not open as a file:
    // a folder or a pipe cannot be read at a position.
    const auto head = native::readStart(*handle, head_);
    if (!head) {
        native::close(*handle);
        return false;
    }
    handle_ = *handle;
    headSize_ = *head;
    return true;
}

std::optional<OpenRefusal> ReadOnlyFile::openRegular(const std::string& path) {
    close();
    auto opened = native::openRegularForReading(path);
    if (const auto* refusal = std::get_if<OpenRefusal>(&opened)) return *refusal;
    const auto& file = std::get<native::RegularFile>(opened);
    const auto head = native::readStart(file.handle, head_);
    if (!head) {
        native::close(file.handle);
        return OpenRefusal::cannotOpen;
    }
    handle_ = file.handle;
    headSize_ = *head;
    identity_ = file.identity;
    size_ = file.size;  // the system told it with the type: no second question
    return std::nullopt;
}

void ReadOnlyFile::close() {
    if (handle_ != -1) native::close(handle_);
    handle_ = -1;
    headSize_ = 0;
    size_.reset();
    identity_ = {};
}

std::size_t ReadOnlyFile::readAt(std::uint64_t position, std::span<std::uint8_t> out) {
    if (handle_ == -1) return 0;
    const bool endsInHead = headSize_ < head_.size();
    if (endsInHead || (position <= headSize_ && out.size() <= headSize_ - position)) {
        return copyAt(std::span(head_).first(headSize_), position, out);
    }
    return native::readAt(handle_, position, out).value_or(0);
}

std::uint64_t ReadOnlyFile::size() {
    if (handle_ == -1) return 0;
    if (headSize_ < head_.size()) return headSize_;  // the whole file is in the head: no call
    if (!size_) size_ = native::sizeOf(handle_).value_or(headSize_);
    return *size_;
}

}  // namespace platform
