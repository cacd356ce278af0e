#include "database_frame.hpp"

#include <algorithm>
#include <stdexcept>

namespace kdb2mid::fuzz {

namespace {
constexpr std::size_t kChorusUnit = 2048;
constexpr unsigned kPaddingShift = 4;
constexpr std::uint8_t kPaddingMask = 0x07;
constexpr std::uint8_t kUtf8Bit = 0x10;
constexpr std::uint8_t kKaraokeBit = 0x20;
}  // namespace

DatabaseFrame decodeDatabaseFrame(std::span<const std::uint8_t> input) {
    DatabaseFrame frame;
    const std::uint8_t flags = input.empty() ? 0x0F : input[0];
    for (std::size_t file = 0; file < DatabaseFrame::fileCount; ++file) {
        frame.present[file] = (flags >> file) & 1U;
    }
    frame.chorusPaddingUnits = (flags >> kPaddingShift) & kPaddingMask;
    const std::uint8_t songByte = input.size() > 1 ? input[1] : 0x02;
    frame.song = kFrameFirstSong + (songByte & (kFrameSongCount - 1));
    frame.utf8Lyrics = (songByte & kUtf8Bit) != 0;
    frame.karaoke = (songByte & kKaraokeBit) != 0;

    std::size_t at = std::min<std::size_t>(2, input.size());
    for (std::size_t file = 0; file < DatabaseFrame::chorusData; ++file) {
        std::size_t length = 0;
        if (input.size() - at >= 2) {
            length = (std::size_t{input[at]} << 8) | input[at + 1];
            at += 2;
        } else {
            at = input.size();
        }
        length = std::min(length, input.size() - at);
        frame.files[file].assign(input.begin() + static_cast<std::ptrdiff_t>(at),
                                 input.begin() + static_cast<std::ptrdiff_t>(at + length));
        at += length;
    }
    std::vector<std::uint8_t>& chorus = frame.files[DatabaseFrame::chorusData];
    chorus.assign(input.begin() + static_cast<std::ptrdiff_t>(at), input.end());
    chorus.resize(chorus.size() + kChorusUnit * frame.chorusPaddingUnits, 0);
    return frame;
}

std::vector<std::uint8_t> encodeDatabaseFrame(const DatabaseFrame& frame) {
    if (frame.song < kFrameFirstSong || frame.song >= kFrameFirstSong + kFrameSongCount) {
        throw std::invalid_argument("song number outside the frame's range");
    }
    std::uint8_t flags = static_cast<std::uint8_t>((frame.chorusPaddingUnits & kPaddingMask)
                                                   << kPaddingShift);
    for (std::size_t file = 0; file < DatabaseFrame::fileCount; ++file) {
        if (frame.present[file]) flags = static_cast<std::uint8_t>(flags | (1U << file));
    }
    const auto songByte = static_cast<std::uint8_t>((frame.song - kFrameFirstSong) |
                                                    (frame.utf8Lyrics ? kUtf8Bit : 0) |
                                                    (frame.karaoke ? kKaraokeBit : 0));
    std::vector<std::uint8_t> input{flags, songByte};
    for (std::size_t file = 0; file < DatabaseFrame::chorusData; ++file) {
        const std::vector<std::uint8_t>& bytes = frame.files[file];
        if (bytes.size() > kFramePartLimit) throw std::invalid_argument("file too large for a frame");
        input.push_back(static_cast<std::uint8_t>(bytes.size() >> 8));
        input.push_back(static_cast<std::uint8_t>(bytes.size()));
        input.insert(input.end(), bytes.begin(), bytes.end());
    }
    const std::vector<std::uint8_t>& chorus = frame.files[DatabaseFrame::chorusData];
    input.insert(input.end(), chorus.begin(), chorus.end());
    return input;
}

}  // namespace kdb2mid::fuzz
