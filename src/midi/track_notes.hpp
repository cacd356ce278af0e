// The notes a MIDI track plays: each note-on paired with the note-off that
// ends it, in ticks from the track's start.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kdb2mid {

struct Note {
    std::uint64_t startTick = 0;
    std::uint64_t endTick = 0;  // never before startTick
    std::uint8_t key = 0;       // 0..127, 60 is middle C
    std::uint8_t channel = 0;   // 0..15; 9 is the General MIDI drum channel

    bool operator==(const Note&) const = default;
};

// The notes of one track body (the bytes inside an "MTrk" chunk), in the
// order they start. A note-on with velocity 0 is a note-off; running status,
// system-exclusive and meta events are understood, and meta and
// system-exclusive events are skipped. A second note-on for a key that is
// still sounding on its channel ends the note before it there, and the next
// note-off for that key then belongs to the ended note, so the new one lasts
// until its own note-off. A note still sounding when the walk stops ends at
// the time of the last event read. The walk stops at the end-of-track event,
// at the end of the data, or at the first event that cannot be read whole:
// never reads outside track.
std::vector<Note> trackNotes(std::span<const std::uint8_t> track);

}  // namespace kdb2mid
