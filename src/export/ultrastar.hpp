// Songs for sing-and-score games: the UltraStar text format (version 1.0.0).
//
// The file is UTF-8 without a byte order mark, one line per header, note or
// phrase break, each ended by a line feed:
//   #VERSION:1.0.0, #TITLE:, #ARTIST:, #LANGUAGE:, #AUDIO:, #MP3:, #BPM:, #GAP:
//   ": START LENGTH PITCH TEXT"  a note to sing (F instead of : for a
//                               freestyle note, which the games don't score)
//   "- BEAT"                    the break between two phrases (lyric lines)
//   "E"                         the end
// Times are in beats counted from #GAP milliseconds into the audio; a beat
// lasts 15000 / #BPM milliseconds (the games read #BPM as quarter beats).
// PITCH is in half-steps from middle C.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "midi/track_notes.hpp"

namespace kdb2mid {

// The track whose notes the singer follows, chosen by findMelody.
struct MelodyChoice {
    int track = -1;         // index into the tracks given, -1 when none qualifies
    double coverage = 0.0;  // share of the words the best track covers, 0..1
};

// The share of words a track must cover to count as the melody.
inline constexpr double kMelodyCoverage = 0.6;

// Scores each track by how many words begin exactly at a tick where one of
// its notes begins (notes on the drum channel, 9, don't count) and picks the
// best one if it covers at least kMelodyCoverage of the words. Of tracks that
// score alike, the one with fewer distinct note starts wins (a chord or bass
// track that shares the melody's rhythm plays more), then the lower index.
// coverage is the best track's share even when it falls short.
MelodyChoice findMelody(std::span<const std::vector<Note>> tracks,
                        std::span<const std::uint64_t> wordTicks);

// A melody note with the times its start and end are heard.
struct TimedNote {
    Note note;
    double startSeconds = 0.0;
    double endSeconds = 0.0;
};

// Times each note with secondsAt (the song's tempo map: seconds at a tick).
std::vector<TimedNote> timeNotes(std::span<const Note> notes,
                                 const std::function<double(std::uint64_t tick)>& secondsAt);

// One word of a lyric line: the letters between spaces.
struct UltraStarWord {
    std::string text;       // UTF-8; spaces around it are the writer's business
    std::uint64_t tick = 0;  // when its first letter is sung
    double seconds = 0.0;    // the same time in seconds from the song's start
};

struct UltraStarInput {
    std::string title;        // UTF-8, the first title
    std::string artist;       // UTF-8, the second title; empty when none
    bool vietnamese = false;  // the lyrics use the two-byte letters
    std::string audioFile;    // the audio file's name, beside the text file
    // One phrase per stored lyric line, in the order they are sung.
    std::vector<std::vector<UltraStarWord>> phrases;
    // The melody track's notes in start order; empty writes freestyle notes.
    std::vector<TimedNote> melody;
};

// The grid notes are placed on: 1500 quarter beats a minute, 10 ms a beat,
// fine enough that every word starts within a beat of its time even in fast
// songs, and a whole song stays within a few ten thousand beats.
inline constexpr int kUltraStarBpm = 1500;
inline constexpr double kUltraStarBeatMs = 15000.0 / kUltraStarBpm;

// The song's UltraStar text. One note per word with text (words of only
// spaces are left out); a word after the first of its phrase gets one leading
// space. A note starts on the beat its word falls in, later only when the
// word before holds that beat (words at one tick, words out of order);
// notes never overlap. It lasts until its melody note ends or the next word
// starts, at least one beat; a word with no melody note beginning or sounding
// at its tick takes the pitch of the nearest note and lasts at most a second.
// Pitch is the melody key - 60, octave kept. Phrase
// breaks fall after the last note of a phrase and before the first of the
// next; phrases without words add none. #GAP is the first word's time in
// whole milliseconds. Control characters in any text become spaces and
// bytes that are not UTF-8 become U+FFFD.
std::string writeUltraStar(const UltraStarInput& song);

}  // namespace kdb2mid
