// A song written as a lead sheet (a melody whose notes carry the lyric
// syllables, and a chord chart) and the song record contents made from it:
// a conductor track, the melody, optional bass, chord and drum tracks, and a
// lyric block whose letters are timed to the melody's notes.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "generator/database_writer.hpp"

namespace kdb2mid::sample {

struct SheetNote {
    std::uint8_t key;     // MIDI key number; 0 for a rest
    std::uint16_t ticks;  // duration, 120 ticks a quarter note
    // UTF-8 text sung from this note's start on, with its trailing space or
    // punctuation; empty for a rest or a note slurred to the syllable before.
    std::string_view syllable;
};

// One lyric line and the notes it is sung to. mark: the stored line starts
// with the '0' line mark (not allowed on the first line).
struct SheetLine {
    bool mark = false;
    std::vector<SheetNote> notes;
};

enum class ChordKind : std::uint8_t { major, minor };

struct ChordSpan {
    std::uint8_t root;  // pitch class, C = 0 .. B = 11
    ChordKind kind;
    std::uint16_t ticks;
};

enum class DrumStyle : std::uint8_t {
    none,
    backbeat,  // kick on the odd beats, snare on the even ones, closed hi-hat eighths
    handDrum,  // low conga on the odd beats, open high conga on the even ones
};

struct LeadSheet {
    std::string_view title;     // UTF-8, the first title and the conductor track's name
    std::string_view subtitle;  // UTF-8, the second title (composer, origin)
    std::uint16_t beatsPerMinute = 100;
    std::uint8_t beatsPerBar = 4;  // quarter-note beats
    std::int8_t keySharps = 0;     // negative for flats
    bool minorKey = false;
    std::uint32_t introTicks = 0;  // accompaniment alone before the melody starts
    std::uint8_t melodyProgram = 0;
    std::vector<SheetLine> lines;
    std::vector<ChordSpan> chords;  // from tick 0 to the song's end, intro included
    std::optional<std::uint8_t> bassProgram;
    std::optional<std::uint8_t> chordProgram;
    DrumStyle drums = DrumStyle::none;
};

// Tracks in order: conductor (title, tempo, time and key signature), melody
// (channel 1), bass (2), chords (3), drums (10), the last three when asked
// for. Throws std::invalid_argument when the chord chart does not cover the
// song exactly, when a lyric line has no syllable, or when a lyric time does
// not fit the 16-bit time words.
SongSpec renderLeadSheet(const LeadSheet& sheet);

// Time words of one lyric line: letters grouped into events as the converter
// groups them, each event timed at the start of the syllable holding it; the
// first word is the event's absolute time, every later one the delta from the
// event before.
LyricLine timeLyricLine(const std::vector<std::string>& syllables,
                        const std::vector<std::uint32_t>& times, bool mark);

}  // namespace kdb2mid::sample
