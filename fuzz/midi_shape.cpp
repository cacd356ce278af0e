#include "midi_shape.hpp"

#include <algorithm>
#include <iterator>
#include <optional>

#include "midi/kar_track.hpp"
#include "format/byte_order.hpp"

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
    // The next count bytes, or fewer where the bytes end.
    std::span<const std::uint8_t> take(std::size_t count) {
        const std::span<const std::uint8_t> part = bytes_.subspan(at_, std::min(count, left()));
        at_ += part.size();
        return part;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

std::string textTrackProblem(std::span<const std::uint8_t> body, TextTrack kind, bool utf8) {
    Reader in(body);
    std::size_t events = 0;
    bool namesDone = false;
    while (!in.atEnd()) {
        const std::optional<std::uint32_t> delta = in.varLen();
        if (!delta) return "text track: bad delta time";
        if (in.byte() != std::optional<std::uint8_t>{0xFF}) return "text track: not a meta event";
        const std::optional<std::uint8_t> type = in.byte();
        const std::optional<std::uint32_t> length = in.varLen();
        if (!type || !length) return "text track: truncated meta event";
        const std::span<const std::uint8_t> data = in.take(*length);
        if (data.size() != *length) return "text track: meta event runs past the chunk";
        ++events;
        if (*type == 0x2F) {
            if (*delta != 0 || *length != 0 || !in.atEnd()) {
                return "text track: end of track is not the chunk's last event";
            }
            return {};
        }
        if (utf8 && !isValidUtf8(data)) return "text track: text is not valid UTF-8";
        if (*type == 0x03) {
            if (namesDone || *delta != 0) return "text track: track name after other events";
            if (kind == TextTrack::karaoke && events != 1) return "text track: second track name";
            continue;
        }
        namesDone = true;
        if (kind == TextTrack::lyrics && *type != 0x05) return "lyric track: event is no lyric";
        if (kind == TextTrack::karaoke) {
            if (*type != 0x01) return "karaoke track: event is no text";
            if (*length > kMaxKaraokeTextBytes) return "karaoke track: text event too long for players";
        }
    }
    return "text track: no end of track";
}

}  // namespace

bool isValidUtf8(std::span<const std::uint8_t> bytes) {
    struct Form {
        std::uint8_t mask, lead;  // lead & mask == lead for this form
        std::size_t extra;        // continuation bytes
        std::uint32_t min;        // smallest value this form may carry
    };
    constexpr Form kForms[] = {{0xE0, 0xC0, 1, 0x80}, {0xF0, 0xE0, 2, 0x800}, {0xF8, 0xF0, 3, 0x10000}};
    for (std::size_t i = 0; i < bytes.size();) {
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        const Form* form = nullptr;
        for (const Form& f : kForms) {
            if ((bytes[i] & f.mask) == f.lead) form = &f;
        }
        if (form == nullptr || bytes.size() - i - 1 < form->extra) return false;
        std::uint32_t value = bytes[i] & static_cast<std::uint8_t>(~form->mask);
        for (std::size_t j = 1; j <= form->extra; ++j) {
            if ((bytes[i + j] & 0xC0) != 0x80) return false;
            value = (value << 6) | (bytes[i + j] & 0x3FU);
        }
        if (value < form->min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
            return false;
        }
        i += form->extra + 1;
    }
    return true;
}

std::string midiShapeProblem(std::span<const std::uint8_t> file, TextTrack kind, bool utf8) {
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
            return textTrackProblem(file.subspan(at, length), kind, utf8);
        }
        at += length;
    }
    return {};
}

}  // namespace kdb2mid::fuzz
