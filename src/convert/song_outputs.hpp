// The files a song gives beyond its .mid and .kar: lyrics in seconds (LRC,
// ASS), rendered audio and the UltraStar folder, all written from the one
// decoded song, after a key or tempo change when one was asked for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/convert_song.hpp"
#include "export/timed_lyrics.hpp"
#include "export/ultrastar.hpp"
#include "format/decoded_song.hpp"
#include "midi/tempo_map.hpp"
#include "midi/track_notes.hpp"

namespace kdb2mid {

// The song's data tracks in order, as they will be written.
std::vector<std::span<const std::uint8_t>> dataTracksOf(const DecodedSong& song);

// Rewrites the data tracks with every note (not the drums') moved `semitones`
// and every tempo scaled to `percent`; the writers then read those.
void adjustTracks(DecodedSong& song, int semitones, int percent);

// Where each file a song is to get goes; an empty path is a file not asked
// for, or one the song cannot have (lyric files of a song without lyrics).
struct SongFiles {
    std::filesystem::path midi;
    std::filesystem::path karaoke;
    std::filesystem::path lrc;
    std::filesystem::path ass;
    std::filesystem::path audio;             // "<stem>.<format>", or inside the UltraStar folder
    std::filesystem::path ultrastarFolder;   // "<song>/"
    std::filesystem::path ultrastarText;     // "<song>/<song>.txt"
    bool lyricsMissing = false;  // lyric files were asked for; the song has no lyric line
    // The song's words and times, read when a file in seconds is asked for.
    TimedLyrics lyrics;
    SongTiming timing;
};

// What a song's files add to its stem, one entry per file options ask for
// and per chorus part: ".mid", ".kar", ".lrc", ".ass", the audio's
// extension, "_<part>.mp3". The UltraStar folder goes by song number and
// holds nothing else, so it is not among them.
std::vector<std::string> songFileSuffixes(const ConvertOptions& options,
                                          std::span<const std::uint32_t> chorusParts);

SongFiles plannedFiles(const DecodedSong& song, RecordError decoded, const std::string& stem,
                       std::int32_t songNumber, const std::filesystem::path& outFolder,
                       const ConvertOptions& options);

// The data track the singer follows: the one whose notes start with most
// words, when it covers most of them. notes gets every data track's notes.
MelodyChoice songMelody(const DecodedSong& song, const TimedLyrics& lyrics,
                        std::vector<std::vector<Note>>& notes);

// The UltraStar text of the song, its words and times from files, its
// pitches from the melody track of notes (none when melody.track < 0).
std::string ultrastarText(const DecodedSong& song, const SongFiles& files,
                          std::span<const std::vector<Note>> notes, MelodyChoice melody);

// Whether every file in files, and every chorus recording the record asks
// for, exists already (--resume): outputs are complete or absent, so a file
// that exists is finished.
bool allFilesExist(const SongFiles& files, const SongDatabase& database,
                   const std::optional<ChorusRequest>& chorus, const std::string& stem,
                   const std::filesystem::path& outFolder);

// Writes the .lrc, .ass, audio and UltraStar files files names, from
// work.song and, for the audio, the .mid in work.midiBuffer.
void writeTimedOutputs(ConvertWorkspace& work, std::int32_t songNumber, SongFiles& files,
                       const ConvertOptions& options, SongResult& result);

}  // namespace kdb2mid
