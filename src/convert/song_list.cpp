#include "convert/song_list.hpp"

#include "convert/display_text.hpp"
#include "foundation/byte_order.hpp"
#include "foundation/database_layout.hpp"

namespace kdb2mid {

std::optional<NameLocation> locateName(std::span<const std::uint8_t> nameIndex,
                                       std::int32_t songNumber, std::uint64_t tableSize) noexcept {
    const std::optional<std::uint64_t> at = songIndexOffset(songNumber);
    constexpr std::uint64_t kPair = 2 * kIndexEntrySize;
    if (!at || *at > nameIndex.size() || nameIndex.size() - *at < kPair) return std::nullopt;
    const auto position = static_cast<std::size_t>(*at);
    const std::uint64_t start = readBigEndian32(nameIndex, position);
    const std::uint64_t next = readBigEndian32(nameIndex, position + kIndexEntrySize);
    // The byte before the next name's start ends this one and belongs to no name.
    if (next <= start || next - 1 > tableSize) return std::nullopt;
    return NameLocation{start, next - start - 1};
}

std::string formatListLine(std::int32_t songNumber, std::span<const std::uint8_t> storedName) {
    return std::to_string(songNumber) + "\t" + displayText(storedName);
}

}  // namespace kdb2mid
