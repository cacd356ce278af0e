#include "midi/track_notes.hpp"

#include <array>
#include <optional>

#include "midi/midi_format.hpp"

namespace kdb2mid {

namespace {

constexpr std::size_t kChannels = 16;
constexpr std::size_t kKeys = 128;
// A variable-length number has at most four bytes in a MIDI file.
constexpr int kMaxVarLenBytes = 4;

std::optional<std::uint32_t> readVarLen(std::span<const std::uint8_t> data, std::size_t& pos) {
    std::uint32_t value = 0;
    for (int i = 0; i < kMaxVarLenBytes; ++i) {
        if (pos >= data.size()) return std::nullopt;
        const std::uint8_t byte = data[pos++];
        value = (value << 7) | (byte & 0x7FU);
        if ((byte & 0x80) == 0) return value;
    }
    return std::nullopt;
}

// Data bytes after a channel or system common status byte (meta and system
// exclusive events carry their own length).
std::size_t dataBytesAfter(std::uint8_t status) {
    switch (status & 0xF0) {
        case 0xC0:
        case 0xD0: return 1;
        case 0xF0:
            if (status == 0xF1 || status == 0xF3) return 1;
            if (status == 0xF2) return 2;
            return 0;
        default: return 2;
    }
}

// What is sounding on one key of one channel.
struct KeyState {
    std::size_t note = 0;    // index of the sounding note in the result
    bool sounding = false;
    std::uint32_t owed = 0;  // note-offs still to come for notes a retrigger ended
};

class NoteCollector {
public:
    void on(std::uint64_t tick, std::uint8_t channel, std::uint8_t key) {
        KeyState& state = keys_[channel][key];
        if (state.sounding) {
            notes_[state.note].endTick = tick;
            ++state.owed;
        }
        state.note = notes_.size();
        state.sounding = true;
        notes_.push_back({tick, tick, key, channel});
    }

    void off(std::uint64_t tick, std::uint8_t channel, std::uint8_t key) {
        KeyState& state = keys_[channel][key];
        if (state.owed > 0) {
            --state.owed;
        } else if (state.sounding) {
            notes_[state.note].endTick = tick;
            state.sounding = false;
        }
    }

    std::vector<Note> finish(std::uint64_t endTick) {
        for (auto& channel : keys_) {
            for (KeyState& state : channel) {
                if (state.sounding) notes_[state.note].endTick = endTick;
            }
        }
        return std::move(notes_);
    }

private:
    std::array<std::array<KeyState, kKeys>, kChannels> keys_{};
    std::vector<Note> notes_;
};

}  // namespace

std::vector<Note> trackNotes(std::span<const std::uint8_t> track) {
    NoteCollector notes;
    std::size_t pos = 0;
    std::uint64_t tick = 0;
    std::uint64_t lastEventTick = 0;  // time of the last event read whole
    std::uint8_t running = 0;         // status of the last channel message, 0 when none applies
    while (pos < track.size()) {
        const std::optional<std::uint32_t> delta = readVarLen(track, pos);
        if (!delta || pos >= track.size()) break;
        tick += *delta;
        const std::uint8_t lead = track[pos];
        if (lead == kMetaEvent || lead == kSysEx || lead == kSysExEscape) {
            ++pos;
            std::uint8_t type = 0;
            if (lead == kMetaEvent) {
                if (pos >= track.size()) break;
                type = track[pos++];
            }
            const std::optional<std::uint32_t> length = readVarLen(track, pos);
            if (!length || *length > track.size() - pos) break;
            pos += *length;
            lastEventTick = tick;
            // Meta and system-exclusive events cancel running status.
            running = 0;
            if (lead == kMetaEvent && type == kMetaEndOfTrack) break;
            continue;
        }
        std::uint8_t status = running;
        if (lead & 0x80) {
            status = lead;
            ++pos;
            running = lead < 0xF0 ? lead : 0;
        }
        if (status == 0) break;  // a data byte with no status before it
        const std::size_t size = dataBytesAfter(status);
        if (size > track.size() - pos) break;
        const std::uint8_t kind = status & 0xF0;
        if (kind == kNoteOn || kind == kNoteOff) {
            const auto channel = static_cast<std::uint8_t>(status & 0x0F);
            const auto key = static_cast<std::uint8_t>(track[pos] & 0x7F);
            const std::uint8_t velocity = track[pos + 1];
            if (kind == kNoteOn && velocity != 0) {
                notes.on(tick, channel, key);
            } else {
                notes.off(tick, channel, key);
            }
        }
        pos += size;
        lastEventTick = tick;
    }
    return notes.finish(lastEventTick);
}

}  // namespace kdb2mid
