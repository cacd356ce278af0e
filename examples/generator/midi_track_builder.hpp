// MIDI track bodies (the bytes inside an "MTrk" chunk) built from events
// placed at absolute times, the way song records store them.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace kdb2mid::sample {

// Channels are numbered 0..15 as in the status byte; GM drums are channel 9
// (the tenth).
inline constexpr std::uint8_t kDrumChannel = 9;

class MidiTrackBuilder {
public:
    void trackName(std::string_view name);
    void tempo(std::uint32_t tick, std::uint32_t microsecondsPerQuarter);
    // denominatorPower: 2 for x/4, 3 for x/8.
    void timeSignature(std::uint32_t tick, std::uint8_t numerator, std::uint8_t denominatorPower);
    // sharps: -7..7 (negative for flats).
    void keySignature(std::uint32_t tick, std::int8_t sharps, bool minor);
    void programChange(std::uint32_t tick, std::uint8_t channel, std::uint8_t program);
    void controlChange(std::uint32_t tick, std::uint8_t channel, std::uint8_t controller,
                       std::uint8_t value);
    void note(std::uint32_t start, std::uint32_t length, std::uint8_t channel, std::uint8_t key,
              std::uint8_t velocity);

    // The track body: every event with its delta time, in time order, then the
    // end of track at endTick or at the last event, whichever is later. At
    // equal times meta events come first, then controller and program
    // changes, then note-offs, then note-ons, so a repeated note is released
    // before it sounds again; events of one kind keep the order they were added.
    std::vector<std::uint8_t> finish(std::uint32_t endTick = 0) const;

private:
    enum class Order : std::uint8_t { meta, control, noteOff, noteOn };
    struct Event {
        std::uint32_t tick;
        Order order;
        std::vector<std::uint8_t> bytes;  // the event without its delta time
    };
    void add(std::uint32_t tick, Order order, std::vector<std::uint8_t> bytes);

    std::vector<Event> events_;
};

}  // namespace kdb2mid::sample
