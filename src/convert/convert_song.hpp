// One song of the database to its MIDI file and its chorus recordings.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "format/database_layout.hpp"
#include "format/decoded_song.hpp"
#include "io/song_database.hpp"
#include "midi/lyric_track.hpp"

namespace kdb2mid {

struct SongResult {
    enum class Outcome : std::uint8_t { converted, skipped, failed };
    Outcome outcome = Outcome::converted;
    // Whole lines for the user, without line ends, in the order they happened.
    std::vector<std::string> messages;

    void fail(std::string message) {
        outcome = Outcome::failed;
        messages.push_back(std::move(message));
    }
};

// LyricText (convert/lyric_track.hpp): how titles and lyrics are written.
struct ConvertOptions {
    LyricText lyrics = LyricText::stored;  // for the .mid and the .kar alike
    bool karaoke = false;                  // also write "<song>.kar"
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
};

// "<song>.mid", "<song>.kar" and "<song>_<part>.mp3".
std::string midiFileName(std::int32_t songNumber);
std::string karaokeFileName(std::int32_t songNumber);
std::string chorusFileName(std::int32_t songNumber, std::uint32_t partNumber);

// Path of a file named name in folder; an empty folder is the current one.
std::filesystem::path outputPath(const std::filesystem::path& folder, const std::string& name);

// Writes the song's "<song>.mid" into outFolder, with options.karaoke also
// its "<song>.kar", then, when its record announces chorus recordings, one
// "<song>_<part>.mp3" for each. Every output is complete or absent. A song
// whose index entries are equal is skipped. Running out of memory fails the
// song ("Cannot convert song N: out of memory"), not the caller.
SongResult convertSong(const SongDatabase& database, std::int32_t songNumber,
                       const std::filesystem::path& outFolder, const ConvertOptions& options,
                       ConvertWorkspace& work);

// Copies the recordings that request names out of CHORUS.DAT. Returns false
// after adding a message for each recording (or index) that failed; the
// others are still exported.
bool exportChorusParts(const SongDatabase& database, ChorusRequest request,
                       std::int32_t songNumber, const std::filesystem::path& outFolder,
                       ConvertWorkspace& work, SongResult& result);

}  // namespace kdb2mid
