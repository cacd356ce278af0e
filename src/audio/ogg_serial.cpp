#include "audio/ogg_serial.hpp"

#include <algorithm>
#include <array>

namespace kdb2mid {

namespace {

// An Ogg page: "OggS", version, flags, granule position (8), serial (4),
// page number (4), checksum (4), segment count, the segment sizes, the body.
constexpr std::size_t kHeaderSize = 27;
constexpr std::size_t kSerialAt = 14;
constexpr std::size_t kChecksumAt = 22;
constexpr std::size_t kSegmentCountAt = 26;

constexpr std::array<std::uint32_t, 256> makeTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i << 24;
        for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000U) ? (r << 1) ^ 0x04C11DB7U : r << 1;
        table[i] = r;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kTable = makeTable();

void putLe32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::uint32_t oggChecksum(std::span<const std::uint8_t> bytes) noexcept {
    std::uint32_t crc = 0;
    for (const std::uint8_t byte : bytes) crc = (crc << 8) ^ kTable[((crc >> 24) ^ byte) & 0xFF];
    return crc;
}

bool OggSerialSink::write(std::span<const std::uint8_t> bytes) {
    if (passThrough_) return out_.write(bytes);
    pending_.insert(pending_.end(), bytes.begin(), bytes.end());
    return passPages();
}

bool OggSerialSink::passPages() {
    std::size_t at = 0;
    bool written = true;
    while (written && pending_.size() - at >= kHeaderSize) {
        std::uint8_t* page = pending_.data() + at;
        if (!std::equal(page, page + 4, "OggS")) {
            passThrough_ = true;
            break;
        }
        const std::size_t segments = page[kSegmentCountAt];
        if (pending_.size() - at < kHeaderSize + segments) break;
        std::size_t size = kHeaderSize + segments;
        for (std::size_t i = 0; i < segments; ++i) size += page[kHeaderSize + i];
        if (pending_.size() - at < size) break;
        putLe32(page + kSerialAt, serial_);
        putLe32(page + kChecksumAt, 0);
        putLe32(page + kChecksumAt, oggChecksum({page, size}));
        written = out_.write({page, size});
        at += size;
    }
    if (written && passThrough_) {
        written = out_.write(std::span(pending_).subspan(at));
        at = pending_.size();
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
    return written;
}

bool OggSerialSink::seek(std::uint64_t offset) {
    return pending_.empty() && out_.seek(offset);
}

bool OggSerialSink::finish() {
    const bool written = pending_.empty() || out_.write(pending_);
    pending_.clear();
    return written;
}

std::uint32_t streamSerialFor(std::span<const std::uint8_t> midi) noexcept {
    // FNV-1a: any function of the bytes alone would do.
    std::uint32_t hash = 2166136261U;
    for (const std::uint8_t byte : midi) hash = (hash ^ byte) * 16777619U;
    return hash;
}

}  // namespace kdb2mid
