// One song of the database to its MIDI file and its chorus recordings.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "convert/midi_file.hpp"
#include "convert/song_database.hpp"
#include "foundation/database_layout.hpp"

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

// How the lyric texts are written.
enum class LyricText : std::uint8_t {
    stored,  // the database's bytes, unchanged (the default)
    utf8,    // decoded to UTF-8
};

struct ConvertOptions {
    LyricText lyrics = LyricText::stored;
    bool karaoke = false;  // also write "<song>.kar"
};

// Buffers reused from song to song by one converting thread.
struct ConvertWorkspace {
    std::vector<std::uint8_t> record;
    MidiWorkspace midi;
    std::vector<std::uint8_t> copyBuffer;
};

// "<song>.mid" and "<song>_<part>.mp3".
std::string midiFileName(std::int32_t songNumber);
std::string chorusFileName(std::int32_t songNumber, std::uint32_t partNumber);

// Path of a file named name in folder; an empty folder is the current one.
std::filesystem::path outputPath(const std::filesystem::path& folder, const std::string& name);

// Writes the song's "<song>.mid" into outFolder, then, when its record
// announces chorus recordings, one "<song>_<part>.mp3" for each. Every output
// is complete or absent. A song whose index entries are equal is skipped.
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
