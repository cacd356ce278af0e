#include "cli/song_list.hpp"

#include "format/display_text.hpp"

namespace kdb2mid {

std::string formatListLine(std::int32_t songNumber, std::span<const std::uint8_t> storedName) {
    return std::to_string(songNumber) + "\t" + displayText(storedName);
}

}  // namespace kdb2mid
