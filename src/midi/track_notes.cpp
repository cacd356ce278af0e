#include "midi/track_notes.hpp"

#include <array>

#include "midi/midi_format.hpp"
#include "midi/track_events.hpp"

namespace kdb2mid {

namespace {

constexpr std::size_t kChannels = 16;
constexpr std::size_t kKeys = 128;

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
    TrackEventReader reader(track);
    TrackEvent event;
    std::uint64_t lastEventTick = 0;  // time of the last event read whole
    while (reader.next(event)) {
        lastEventTick = event.tick;
        const std::uint8_t kind = event.status & 0xF0;
        if (kind != kNoteOn && kind != kNoteOff) continue;
        const auto channel = static_cast<std::uint8_t>(event.status & 0x0F);
        const auto key = static_cast<std::uint8_t>(track[event.data] & 0x7F);
        if (kind == kNoteOn && track[event.data + 1] != 0) {
            notes.on(event.tick, channel, key);
        } else {
            notes.off(event.tick, channel, key);
        }
    }
    return notes.finish(lastEventTick);
}

}  // namespace kdb2mid
