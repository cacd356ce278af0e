#include "generator/midi_track_builder.hpp"

#include <algorithm>
#include <stdexcept>

#include "midi/midi_chunk.hpp"
#include "midi/midi_format.hpp"

namespace kdb2mid::sample {

namespace {

constexpr std::uint8_t kNoteOn = 0x90;
constexpr std::uint8_t kControlChange = 0xB0;
constexpr std::uint8_t kProgramChange = 0xC0;
// MIDI clocks per metronome click and 32nd notes per quarter: the usual values.
constexpr std::uint8_t kClocksPerClick = 24;
constexpr std::uint8_t kThirtySecondsPerQuarter = 8;
constexpr std::uint8_t kReleaseVelocity = 64;

void checkChannel(std::uint8_t channel) {
    if (channel > 15) throw std::invalid_argument("MIDI channel out of range");
}

void checkData(std::uint8_t value) {
    if (value > 0x7F) throw std::invalid_argument("MIDI data byte out of range");
}

std::uint8_t status(std::uint8_t kind, std::uint8_t channel) {
    checkChannel(channel);
    return static_cast<std::uint8_t>(kind | channel);
}

}  // namespace

void MidiTrackBuilder::add(std::uint32_t tick, Order order, std::vector<std::uint8_t> bytes) {
    events_.push_back({tick, order, std::move(bytes)});
}

void MidiTrackBuilder::trackName(std::string_view name) {
    std::vector<std::uint8_t> bytes{kMetaEvent, kMetaTrackName};
    writeVarLen(static_cast<std::uint32_t>(name.size()), bytes);
    bytes.insert(bytes.end(), name.begin(), name.end());
    add(0, Order::meta, std::move(bytes));
}

void MidiTrackBuilder::tempo(std::uint32_t tick, std::uint32_t microsecondsPerQuarter) {
    if (microsecondsPerQuarter == 0 || microsecondsPerQuarter > 0xFFFFFF) {
        throw std::invalid_argument("tempo out of range");
    }
    add(tick, Order::meta,
        {kMetaEvent, kMetaSetTempo, 3, static_cast<std::uint8_t>(microsecondsPerQuarter >> 16),
         static_cast<std::uint8_t>(microsecondsPerQuarter >> 8),
         static_cast<std::uint8_t>(microsecondsPerQuarter)});
}

void MidiTrackBuilder::timeSignature(std::uint32_t tick, std::uint8_t numerator,
                                     std::uint8_t denominatorPower) {
    add(tick, Order::meta,
        {kMetaEvent, kMetaTimeSignature, 4, numerator, denominatorPower, kClocksPerClick,
         kThirtySecondsPerQuarter});
}

void MidiTrackBuilder::keySignature(std::uint32_t tick, std::int8_t sharps, bool minor) {
    if (sharps < -7 || sharps > 7) throw std::invalid_argument("key signature out of range");
    add(tick, Order::meta,
        {kMetaEvent, kMetaKeySignature, 2, static_cast<std::uint8_t>(sharps),
         static_cast<std::uint8_t>(minor ? 1 : 0)});
}

void MidiTrackBuilder::programChange(std::uint32_t tick, std::uint8_t channel,
                                     std::uint8_t program) {
    checkData(program);
    add(tick, Order::control, {status(kProgramChange, channel), program});
}

void MidiTrackBuilder::controlChange(std::uint32_t tick, std::uint8_t channel,
                                     std::uint8_t controller, std::uint8_t value) {
    checkData(controller);
    checkData(value);
    add(tick, Order::control, {status(kControlChange, channel), controller, value});
}

void MidiTrackBuilder::note(std::uint32_t start, std::uint32_t length, std::uint8_t channel,
                            std::uint8_t key, std::uint8_t velocity) {
    checkData(key);
    checkData(velocity);
    if (length == 0 || velocity == 0)
        throw std::invalid_argument("a note needs length and velocity");
    add(start, Order::noteOn, {status(kNoteOn, channel), key, velocity});
    add(start + length, Order::noteOff, {status(kNoteOff, channel), key, kReleaseVelocity});
}

std::vector<std::uint8_t> MidiTrackBuilder::finish(std::uint32_t endTick) const {
    std::vector<const Event*> sorted;
    sorted.reserve(events_.size());
    for (const Event& event : events_) sorted.push_back(&event);
    std::stable_sort(sorted.begin(), sorted.end(), [](const Event* a, const Event* b) {
        return a->tick != b->tick ? a->tick < b->tick : a->order < b->order;
    });

    std::vector<std::uint8_t> body;
    std::uint32_t time = 0;
    for (const Event* event : sorted) {
        if (event->tick - time > kMaxMidiVarLen) throw std::invalid_argument("event too far apart");
        writeVarLen(static_cast<std::uint32_t>(event->tick - time), body);
        body.insert(body.end(), event->bytes.begin(), event->bytes.end());
        time = event->tick;
    }
    writeVarLen(static_cast<std::uint32_t>(std::max(endTick, time) - time), body);
    body.insert(body.end(), {kMetaEvent, kMetaEndOfTrack, 0});
    return body;
}

}  // namespace kdb2mid::sample
