// Songs for sing-and-score games: the UltraStar text format (version 1.0.0,
// or 1.1.0 with the instrumental and vocals files beside the full song).
//
// The file is UTF-8 without a byte order mark, one line per header, note or
// phrase break, each ended by a line feed:
//   #VERSION:1.0.0, #TITLE:, #ARTIST:, #LANGUAGE:, #AUDIO:, #MP3:, #BPM:, #GAP:
//   (#VERSION:1.1.0 and #INSTRUMENTAL:, #VOCALS: after #MP3: for a song whose
//   audio is also there without the melody and as the melody alone; games
//   that know them offer the singer a vocals on/off switch)
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
    // The instrumental's and the guide melody's (the "vocals") files, beside
    // it; both empty when the song is not split.
    std::string instrumentalFile;
    std::string vocalsFile;
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
