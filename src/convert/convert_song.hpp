// One song of the database to its MIDI file and its chorus recordings.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#ifdef KDB2MID_HAVE_AUDIO
#include "audio/audio_format.hpp"
#include "audio/song_renderer.hpp"
#endif
#ifdef KDB2MID_HAVE_VIDEO
#include "video/karaoke_video.hpp"
#endif

#ifdef KDB2MID_HAVE_CDG
#include "cdg/freetype_raster.hpp"
#endif

#include "convert/output_set.hpp"
#include "format/database_layout.hpp"
#include "format/decoded_song.hpp"
#include "format/export_layout.hpp"
#include "io/song_database.hpp"
#include "midi/lyric_track.hpp"

namespace kdb2mid {

struct SongResult {
    // interrupted: the run was stopped by a signal before the song's files
    // were all written; what was not is absent, so --resume redoes the song.
    enum class Outcome : std::uint8_t { converted, skipped, failed, interrupted };
    Outcome outcome = Outcome::converted;
    // Whole lines for the user, without line ends, in the order they happened.
    std::vector<std::string> messages;
    // Lyric files were asked for but the song has no lyric line to put in them.
    bool withoutLyrics = false;
    // Every file asked for was there already (--resume): nothing was written.
    bool alreadyDone = false;
    // The true-peak ceiling held its audio below the loudness asked for.
    bool belowLoudness = false;
    // Seconds made by the outputs that count them (the rendered sound under
    // Output::audio, the videos under Output::video).
    SecondsMade secondsMade{};

    void fail(std::string message) {
        outcome = Outcome::failed;
        messages.push_back(std::move(message));
    }
};

// LyricText (midi/lyric_track.hpp): how titles and lyrics are written.
struct ConvertOptions {
    LyricText lyrics = LyricText::stored;  // for the .mid and the .kar alike
    // The files each song gets besides its .mid (convert/outputs.hpp).
    OutputSet outputs;
    int transpose = 0;                     // semitones, every note but the drums'
    int tempoPercent = 100;                // of the song's own tempo
    bool muteMelody = false;               // audio without the guide melody
    bool resume = false;                   // skip each output whose files all exist
#ifdef KDB2MID_HAVE_AUDIO
    AudioFormat audioFormat = kDefaultAudioFormat;  // of every rendered file
    std::filesystem::path soundFont;                // what audio is rendered with
    // LUFS every song's audio is brought to; none keeps the synthesizer's level.
    std::optional<double> loudness = kDefaultLoudness;
#endif
#ifdef KDB2MID_HAVE_VIDEO
    // What the videos look like, and the same prepared once for the run
    // (background read, encoders checked) and shared by every thread. Without
    // the prepared one each thread prepares the settings for itself.
    VideoSettings videoSettings;
    std::shared_ptr<const PreparedVideo> video;
#endif
    // Stems (file names without extension) of songs named by --name; a song
    // not here is named by its number.
    std::map<std::int32_t, std::string> fileStems;

    bool changesNotes() const noexcept { return transpose != 0 || tempoPercent != 100; }
    // Whether an output asked for renders sound: the one thing a soundfont,
    // a loudness and a muted melody change.
    bool wantsAudio() const;
};

// The lyric text for a conversion: the one the user asked for, else UTF-8
// when a .kar is wanted (karaoke players show it readably) and the stored
// bytes otherwise.
constexpr LyricText chosenLyricText(std::optional<LyricText> requested, bool karaoke) noexcept {
    if (requested) return *requested;
    return karaoke ? LyricText::utf8 : LyricText::stored;
}

// Buffers reused from song to song by one converting thread.
struct ConvertWorkspace {
    IndexBlock index;  // the part of SONG.IDX the last songs were found in
    std::vector<std::uint8_t> record;
    // The song decoded once; every file made from it reads it.
    DecodedSong song;
    std::vector<std::uint8_t> trackBuffer;  // the text track while it is built
    std::vector<std::uint8_t> copyBuffer;
    std::vector<std::uint8_t> midiBuffer;   // the .mid in memory when it is also rendered
#ifdef KDB2MID_HAVE_AUDIO
    // This thread's synthesizer, its soundfont loaded once for all its songs.
    std::unique_ptr<SongRenderer> renderer;
#endif
#ifdef KDB2MID_HAVE_VIDEO
    std::shared_ptr<const PreparedVideo> video;  // when options.video was not given
#endif
#ifdef KDB2MID_HAVE_CDG
    // This thread's font for CD+G graphics, opened on first use.
    std::unique_ptr<cdg::FreeTypeRasteriser> cdgFont;
#endif
};

// "<song>.mid" and "<song>.kar"; chorus recordings: chorusFileName (format/export_layout.hpp).
std::string midiFileName(std::int32_t songNumber);
std::string karaokeFileName(std::int32_t songNumber);

// Path of a file named name in folder; an empty folder is the current one.
std::filesystem::path outputPath(const std::filesystem::path& folder, const std::string& name);

// Writes the song's "<song>.mid" into outFolder and every other output
// options.outputs asks for (convert/outputs.hpp), then, when its record announces chorus recordings, one
// "<song>_<part>.mp3" for each. Every output is complete or absent. A song
// whose index entries are equal is skipped. Running out of memory fails the
// song ("Cannot convert song N: out of memory"), not the caller. A song
// that fails once the run is interrupted (io/interruption.hpp) ends
// interrupted, without lines: its files were abandoned, not refused.
SongResult convertSong(const SongDatabase& database, std::int32_t songNumber,
                       const std::filesystem::path& outFolder, const ConvertOptions& options,
                       ConvertWorkspace& work);

// Copies the recordings that request names out of CHORUS.DAT. Returns false
// after adding a message for each recording (or index) that failed; the
// others are still exported.
bool exportChorusParts(const SongDatabase& database, ChorusRequest request,
                       std::int32_t songNumber, std::string_view stem,
                       const std::filesystem::path& outFolder, ConvertWorkspace& work,
                       SongResult& result);

// The part numbers of the chorus recordings request names, read from
// CRS&TCK.IDX; nothing when that cannot be read (nor, then, the recordings).
std::vector<std::uint32_t> chorusPartNumbers(const SongDatabase& database, ChorusRequest request);

// The stems --name PATTERN gives the songs, in the order given, told apart
// where two songs would write a file of one name: every file options ask for
// and each chorus recording counts ("X_1.mid" with --audio mp3 and "X"'s
// part 1 both want "X_1.mp3"). Titles are read from each record when the
// pattern uses them; a song whose record cannot be decoded is named as if
// its titles were empty (so by its number when the pattern has nothing else).
std::map<std::int32_t, std::string> nameSongFiles(const SongDatabase& database,
                                                  std::span<const std::int32_t> songs,
                                                  std::string_view pattern,
                                                  const ConvertOptions& options);

// The name a song's files are given before their extension: its --name stem,
// else its number.
std::string fileStemFor(const ConvertOptions& options, std::int32_t songNumber);

}  // namespace kdb2mid
