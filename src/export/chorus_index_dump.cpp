#include "export/chorus_index_dump.hpp"

#include <charconv>

#include "format/byte_order.hpp"
#include "format/database_layout.hpp"

namespace kdb2mid {

void dumpChorusIndex(std::span<const std::uint8_t> index, std::string_view lineEnd,
                     std::string& text) {
    constexpr std::size_t kValuesPerEntry = kChorusEntrySize / 4;
    const std::size_t values = index.size() / 4;
    for (std::size_t i = 0; i < values; ++i) {
        // The top bit is dropped so that no value shows as negative.
        const std::uint32_t value = readBigEndian32(index, i * 4) & 0x7FFFFFFFU;
        char digits[16];
        const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
        text.append(digits, result.ptr);
        text += ' ';
        if (i % kValuesPerEntry == kValuesPerEntry - 1) text += lineEnd;
    }
}

}  // namespace kdb2mid
