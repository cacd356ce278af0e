#include "format/name_index.hpp"

#include "format/byte_order.hpp"
#include "format/database_layout.hpp"

namespace kdb2mid {

std::optional<NameLocation> locateName(std::span<const std::uint8_t> nameIndex,
                                       std::int32_t songNumber, std::uint64_t tableSize) noexcept {
    const std::optional<std::uint64_t> at = songIndexOffset(songNumber);
    constexpr std::uint64_t kPair = 2 * kIndexEntrySize;
    if (!at || *at > nameIndex.size() || nameIndex.size() - *at < kPair) return std::nullopt;
    return nameAt(nameIndex.subspan(static_cast<std::size_t>(*at)).first<kPair>(), tableSize);
}

std::optional<NameLocation> nameAt(std::span<const std::uint8_t, 8> entries,
                                   std::uint64_t tableSize) noexcept {
    const std::uint64_t start = readBigEndian32(entries, 0);
    const std::uint64_t next = readBigEndian32(entries, kIndexEntrySize);
    // The byte before the next name's start ends this one and belongs to no name.
    if (next <= start || next - 1 > tableSize) return std::nullopt;
    return NameLocation{start, next - start - 1};
}

}  // namespace kdb2mid
