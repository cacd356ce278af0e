#include "messages/info_messages.hpp"

#include <cmath>

#include "messages/messages.hpp"

namespace kdb2mid::info {

std::string field(std::string_view label, std::string_view value) {
    constexpr std::size_t kLabelWidth = 20;
    std::string line = std::string(label) + ":";
    line.append(line.size() < kLabelWidth ? kLabelWidth - line.size() : 1, ' ');
    line += value;
    return line + "\n";
}

std::string recordSize(std::uint64_t bytes, std::uint64_t decoded) {
    return std::to_string(bytes) + " bytes, " + std::to_string(decoded) + " decoded";
}

std::string songLength(std::uint64_t ticks, double seconds) {
    const auto tenths = static_cast<long long>(std::llround(seconds * 10));
    return std::to_string(ticks) + " ticks, " + std::to_string(tenths / 10) + "." +
           std::to_string(tenths % 10) + " seconds (" + formatDuration(seconds) + ")";
}

std::string chorusSummary(std::uint64_t count, std::uint64_t firstEntry) {
    return std::to_string(count) + ", from CRS&TCK.IDX entry " + std::to_string(firstEntry);
}

std::string chorusPartPrefix(std::int32_t part) {
    return "  part " + std::to_string(part) + ": ";
}

std::string chorusPartFile(std::uint64_t bytes, std::string_view file) {
    return std::to_string(bytes) + " bytes, " + std::string(file);
}

}  // namespace kdb2mid::info
