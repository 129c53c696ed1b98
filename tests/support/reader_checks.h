// Helpers for the font reader tests: caller storage pre-filled with a
// sentinel so that untouched output can be told from written output, a
// capture of the readers' diagnostics, and a sparse byte source that reaches
// positions no test file could hold.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <utility>

#include "font_writer.h"
#include "fontfile/byte_source.h"
#include "fontfile/diagnostics.h"
#include "fontfile/sfnt.h"

namespace testfonts {

inline constexpr std::uint8_t kPrefixSentinel = 0xA5;
inline constexpr char kNameSentinel = '#';

inline fontfile::Os2Prefix untouchedPrefix() {
    fontfile::Os2Prefix prefix;
    prefix.fill(kPrefixSentinel);
    return prefix;
}

inline fontfile::NameSlot untouchedSlot() {
    fontfile::NameSlot slot;
    slot.fill(kNameSentinel);
    return slot;
}

// The name in a slot up to its zero; the whole slot when it has none.
inline std::string slotName(const fontfile::NameSlot& slot) {
    return {slot.begin(), std::find(slot.begin(), slot.end(), '\0')};
}

// The prefix that an OS/2 table of 86 bytes or more gives.
inline fontfile::Os2Prefix prefixOf(const Bytes& table) {
    fontfile::Os2Prefix prefix{};
    std::copy_n(table.begin(), prefix.size(), prefix.begin());
    return prefix;
}

// Points the readers' diagnostics at a file of a temporary folder while it
// lives, and gives back what they wrote, byte for byte.
class DiagnosticCapture {
public:
    DiagnosticCapture() : file_(std::fopen(folder_.write("diagnostics.txt", {}).c_str(), "w+b")) {
        fontfile::setDiagnosticStream(file_);
    }
    ~DiagnosticCapture() {
        fontfile::setDiagnosticStream(nullptr);
        if (file_) std::fclose(file_);
    }
    DiagnosticCapture(const DiagnosticCapture&) = delete;
    DiagnosticCapture& operator=(const DiagnosticCapture&) = delete;

    bool ready() const { return file_ != nullptr; }

    std::string text() const {
        if (!file_) return "<no capture file>";
        std::fflush(file_);
        std::rewind(file_);
        std::string out;
        for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) out.push_back(static_cast<char>(c));
        return out;
    }

private:
    TempFolder folder_;
    std::FILE* file_;
};

// A source of `size` bytes, zero except for the pieces placed in it.
class SparseSource final : public fontfile::ByteSource {
public:
    explicit SparseSource(std::uint64_t size) : size_(size) {}

    void place(std::uint64_t position, Bytes bytes) { pieces_[position] = std::move(bytes); }

    std::uint64_t size() override { return size_; }

    std::size_t readAt(std::uint64_t position, std::span<std::uint8_t> out) override {
        if (position >= size_) return 0;
        const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(out.size(), size_ - position));
        for (std::size_t i = 0; i < count; ++i) out[i] = byteAt(position + i);
        return count;
    }

private:
    std::uint8_t byteAt(std::uint64_t position) const {
        auto it = pieces_.upper_bound(position);
        if (it == pieces_.begin()) return 0;
        --it;
        const auto within = position - it->first;
        return within < it->second.size() ? it->second[static_cast<std::size_t>(within)] : std::uint8_t{0};
    }

    std::uint64_t size_;
    std::map<std::uint64_t, Bytes> pieces_;
};

// Bytes in memory that count the work asked of them: reads, the bytes they
// asked for, and questions of size.
class CountingSource final : public fontfile::ByteSource {
public:
    explicit CountingSource(Bytes bytes) : bytes_(std::move(bytes)) {}

    std::size_t readAt(std::uint64_t position, std::span<std::uint8_t> out) override {
        ++reads;
        bytesAsked += out.size();
        return memory_.readAt(position, out);
    }
    std::uint64_t size() override {
        ++sizeQuestions;
        return memory_.size();
    }

    std::size_t reads = 0;
    std::uint64_t bytesAsked = 0;
    std::size_t sizeQuestions = 0;

private:
    Bytes bytes_;
    fontfile::MemorySource memory_{bytes_};
};

}  // namespace testfonts
