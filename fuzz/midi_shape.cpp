#include "midi_shape.hpp"

#include <algorithm>
#include <iterator>
#include <optional>

#include "foundation/byte_order.hpp"

namespace kdb2mid::fuzz {

namespace {

constexpr std::size_t kHeaderSize = 14;
constexpr std::size_t kChunkHeadSize = 8;

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool atEnd() const { return at_ == bytes_.size(); }
    std::size_t left() const { return bytes_.size() - at_; }

    std::optional<std::uint8_t> byte() {
        if (atEnd()) return std::nullopt;
        return bytes_[at_++];
    }
    // A variable-length number of at most four bytes.
    std::optional<std::uint32_t> varLen() {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const std::optional<std::uint8_t> b = byte();
            if (!b) return std::nullopt;
            value = (value << 7) | (*b & 0x7FU);
            if ((*b & 0x80) == 0) return value;
        }
        return std::nullopt;
    }
    bool skip(std::size_t count) {
        if (count > left()) return false;
        at_ += count;
        return true;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

std::string lyricTrackProblem(std::span<const std::uint8_t> body) {
    Reader in(body);
    bool lyricsBegun = false;
    while (!in.atEnd()) {
        const std::optional<std::uint32_t> delta = in.varLen();
        if (!delta) return "lyric track: bad delta time";
        if (in.byte() != std::optional<std::uint8_t>{0xFF}) return "lyric track: not a meta event";
        const std::optional<std::uint8_t> type = in.byte();
        const std::optional<std::uint32_t> length = in.varLen();
        if (!type || !length) return "lyric track: truncated meta event";
        if (!in.skip(*length)) return "lyric track: meta event runs past the chunk";
        switch (*type) {
            case 0x03:
                if (lyricsBegun || *delta != 0) return "lyric track: track name after lyrics or late";
                break;
            case 0x05: lyricsBegun = true; break;
            case 0x2F:
                if (*delta != 0 || *length != 0 || !in.atEnd()) {
                    return "lyric track: end of track is not the chunk's last event";
                }
                return {};
            default: return "lyric track: unexpected meta event type";
        }
    }
    return "lyric track: no end of track";
}

}  // namespace

std::string midiShapeProblem(std::span<const std::uint8_t> file) {
    if (file.size() < kHeaderSize) return "shorter than a header chunk";
    const std::uint8_t head[] = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1};
    if (!std::equal(std::begin(head), std::end(head), file.begin())) return "bad header chunk";
    if (readBigEndian16(file, 12) != 120) return "division is not 120";
    const std::uint16_t tracks = readBigEndian16(file, 10);
    if (tracks == 0) return "no track chunk";

    std::size_t at = kHeaderSize;
    for (std::uint16_t track = 0; track < tracks; ++track) {
        if (file.size() - at < kChunkHeadSize) return "fewer track chunks than the header counts";
        const std::uint8_t mtrk[] = {'M', 'T', 'r', 'k'};
        if (!std::equal(std::begin(mtrk), std::end(mtrk), file.begin() + static_cast<std::ptrdiff_t>(at))) {
            return "track chunk without MTrk";
        }
        const std::uint32_t length = readBigEndian32(file, at + 4);
        at += kChunkHeadSize;
        if (length > file.size() - at) return "track chunk runs past the file";
        if (track + 1 == tracks) {
            if (at + length != file.size()) return "bytes after the last track chunk";
            return lyricTrackProblem(file.subspan(at, length));
        }
        at += length;
    }
    return {};
}

}  // namespace kdb2mid::fuzz
