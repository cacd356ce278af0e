#include "generator/lead_sheet.hpp"

#include <limits>
#include <stdexcept>
#include <string>

#include "format/lyric_block.hpp"
#include "midi/midi_format.hpp"
#include "generator/midi_track_builder.hpp"
#include "generator/vni_encoding.hpp"

namespace kdb2mid::sample {

namespace {

constexpr std::uint32_t kBeat = kMidiDivision;
constexpr std::uint32_t kMicrosecondsPerMinute = 60'000'000;

constexpr std::uint8_t kMelodyChannel = 0;
constexpr std::uint8_t kBassChannel = 1;
constexpr std::uint8_t kChordChannel = 2;

constexpr std::uint8_t kMelodyVelocity = 96;
constexpr std::uint8_t kBassVelocity = 88;
constexpr std::uint8_t kChordVelocity = 60;
// Notes are released this many ticks before the next one starts, so repeated
// keys are heard as separate notes.
constexpr std::uint32_t kReleaseGap = 10;

// Bass roots from C2 up, chord triads from C3 up.
constexpr std::uint8_t kBassBase = 36;
constexpr std::uint8_t kChordBase = 48;
constexpr std::uint8_t kFifth = 7;

// General MIDI percussion keys.
constexpr std::uint8_t kKick = 36;
constexpr std::uint8_t kSnare = 38;
constexpr std::uint8_t kClosedHiHat = 42;
constexpr std::uint8_t kMuteHighConga = 62;
constexpr std::uint8_t kOpenHighConga = 63;
constexpr std::uint8_t kLowConga = 64;
constexpr std::uint32_t kDrumLength = 30;

std::uint32_t sounding(std::uint32_t ticks) {
    return ticks > 2 * kReleaseGap ? ticks - kReleaseGap : ticks;
}

std::uint32_t songEnd(const LeadSheet& sheet) {
    std::uint32_t end = sheet.introTicks;
    for (const SheetLine& line : sheet.lines) {
        for (const SheetNote& note : line.notes) end += note.ticks;
    }
    return end;
}

Bytes conductorTrack(const LeadSheet& sheet, std::uint32_t end) {
    MidiTrackBuilder track;
    track.trackName(encodeVni(sheet.title));
    track.tempo(0, kMicrosecondsPerMinute / sheet.beatsPerMinute);
    track.timeSignature(0, sheet.beatsPerBar, 2);
    track.keySignature(0, sheet.keySharps, sheet.minorKey);
    return track.finish(end);
}

Bytes melodyTrack(const LeadSheet& sheet, std::uint32_t end) {
    MidiTrackBuilder track;
    track.trackName("Melody");
    track.programChange(0, kMelodyChannel, sheet.melodyProgram);
    std::uint32_t time = sheet.introTicks;
    for (const SheetLine& line : sheet.lines) {
        for (const SheetNote& note : line.notes) {
            if (note.key != 0) {
                track.note(time, sounding(note.ticks), kMelodyChannel, note.key, kMelodyVelocity);
            } else if (!note.syllable.empty()) {
                throw std::invalid_argument("a rest carries a syllable");
            }
            time += note.ticks;
        }
    }
    return track.finish(end);
}

std::uint8_t thirdOf(ChordKind kind) { return kind == ChordKind::minor ? 3 : 4; }

// Root for the first half of each chord, its fifth for the second half when
// the chord lasts two beats or more.
Bytes bassTrack(const LeadSheet& sheet, std::uint8_t program, std::uint32_t end) {
    MidiTrackBuilder track;
    track.trackName("Bass");
    track.programChange(0, kBassChannel, program);
    std::uint32_t time = 0;
    for (const ChordSpan& chord : sheet.chords) {
        const auto root = static_cast<std::uint8_t>(kBassBase + chord.root);
        if (chord.ticks >= 2 * kBeat) {
            const std::uint32_t half = chord.ticks / 2;
            track.note(time, sounding(half), kBassChannel, root, kBassVelocity);
            track.note(time + half, sounding(chord.ticks - half), kBassChannel,
                       static_cast<std::uint8_t>(root + kFifth), kBassVelocity);
        } else {
            track.note(time, sounding(chord.ticks), kBassChannel, root, kBassVelocity);
        }
        time += chord.ticks;
    }
    return track.finish(end);
}

// Each chord held as a close triad for its whole length.
Bytes chordTrack(const LeadSheet& sheet, std::uint8_t program, std::uint32_t end) {
    MidiTrackBuilder track;
    track.trackName("Chords");
    track.programChange(0, kChordChannel, program);
    std::uint32_t time = 0;
    for (const ChordSpan& chord : sheet.chords) {
        const auto root = static_cast<std::uint8_t>(kChordBase + chord.root);
        for (std::uint8_t interval : {std::uint8_t{0}, thirdOf(chord.kind), kFifth}) {
            track.note(time, sounding(chord.ticks), kChordChannel,
                       static_cast<std::uint8_t>(root + interval), kChordVelocity);
        }
        time += chord.ticks;
    }
    return track.finish(end);
}

Bytes drumTrack(DrumStyle style, std::uint32_t end) {
    MidiTrackBuilder track;
    track.trackName("Drums");
    const std::uint32_t half = kBeat / 2;
    for (std::uint32_t beat = 0; beat * kBeat < end; ++beat) {
        const std::uint32_t time = beat * kBeat;
        const bool strong = beat % 2 == 0;
        if (style == DrumStyle::backbeat) {
            track.note(time, kDrumLength, kDrumChannel, strong ? kKick : kSnare, strong ? 100 : 90);
            track.note(time, kDrumLength, kDrumChannel, kClosedHiHat, 64);
            track.note(time + half, kDrumLength, kDrumChannel, kClosedHiHat, 48);
        } else {
            track.note(time, kDrumLength, kDrumChannel, strong ? kLowConga : kOpenHighConga,
                       strong ? 100 : 88);
            track.note(time + half, kDrumLength, kDrumChannel, kMuteHighConga, strong ? 64 : 56);
        }
    }
    return track.finish(end);
}

std::vector<LyricLine> lyricLines(const LeadSheet& sheet) {
    std::vector<LyricLine> lines;
    std::uint32_t time = sheet.introTicks;
    for (const SheetLine& line : sheet.lines) {
        std::vector<std::string> syllables;
        std::vector<std::uint32_t> times;
        for (const SheetNote& note : line.notes) {
            if (!note.syllable.empty()) {
                syllables.push_back(encodeVni(note.syllable));
                times.push_back(time);
            }
            time += note.ticks;
        }
        if (syllables.empty()) throw std::invalid_argument("a lyric line without syllables");
        // The space that ends the title list is the first line's first letter.
        if (lines.empty()) syllables.front().insert(0, 1, ' ');
        lines.push_back(timeLyricLine(syllables, times, line.mark));
    }
    return lines;
}

}  // namespace

LyricLine timeLyricLine(const std::vector<std::string>& syllables,
                        const std::vector<std::uint32_t>& times, bool mark) {
    if (syllables.size() != times.size()) throw std::invalid_argument("one time per syllable");
    LyricLine line;
    line.mark = mark;
    std::vector<std::size_t> starts;  // offset of each syllable in the line text
    for (const std::string& syllable : syllables) {
        if (syllable.empty()) throw std::invalid_argument("an empty syllable");
        starts.push_back(line.text.size());
        line.text += syllable;
    }
    const auto byteAt = [&line](std::size_t i) {
        return i < line.text.size() ? static_cast<std::uint8_t>(line.text[i]) : std::uint8_t{0};
    };
    std::size_t syllable = 0;
    std::size_t eventStart = 0;
    std::uint32_t previous = 0;
    for (std::size_t i = 0; i < line.text.size(); ++i) {
        if (!closesLyricEvent(byteAt(i), byteAt(i + 1))) continue;
        while (syllable + 1 < starts.size() && starts[syllable + 1] <= eventStart) ++syllable;
        if (syllable + 1 < starts.size() && i >= starts[syllable + 1]) {
            throw std::invalid_argument("a letter spans two syllables: " + line.text);
        }
        const std::uint32_t time = times[syllable];
        if (time > std::numeric_limits<std::uint16_t>::max()) {
            throw std::invalid_argument("lyric time beyond 16 bits");
        }
        if (!line.words.empty() && time < previous) {
            throw std::invalid_argument("lyric times go backwards");
        }
        line.words.push_back(
            static_cast<std::uint16_t>(line.words.empty() ? time : time - previous));
        previous = time;
        eventStart = i + 1;
    }
    return line;
}

SongSpec renderLeadSheet(const LeadSheet& sheet) {
    if (sheet.beatsPerMinute == 0 || sheet.beatsPerBar == 0) {
        throw std::invalid_argument("a song needs a tempo and a time signature");
    }
    const std::uint32_t end = songEnd(sheet);
    std::uint32_t charted = 0;
    for (const ChordSpan& chord : sheet.chords) charted += chord.ticks;
    if (charted != end) {
        throw std::invalid_argument("the chord chart covers " + std::to_string(charted) +
                                    " ticks of a song of " + std::to_string(end));
    }
    SongSpec song;
    song.tracks.push_back(conductorTrack(sheet, end));
    song.tracks.push_back(melodyTrack(sheet, end));
    if (sheet.bassProgram) song.tracks.push_back(bassTrack(sheet, *sheet.bassProgram, end));
    if (sheet.chordProgram) song.tracks.push_back(chordTrack(sheet, *sheet.chordProgram, end));
    if (sheet.drums != DrumStyle::none) song.tracks.push_back(drumTrack(sheet.drums, end));
    song.lyricBlock =
        buildLyricBlock({encodeVni(sheet.title), encodeVni(sheet.subtitle)}, lyricLines(sheet));
    return song;
}

}  // namespace kdb2mid::sample
