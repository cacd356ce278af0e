// The outputs a song can be converted to, as one table. Each output is one
// row: the option that asks for it, its --help line, the files it writes for
// a song, what it needs from the song, and its writer. The command line's
// options and help, --resume's check, the summary's "without lyrics" count
// and one song's conversion all read the table, so adding an output is one
// writer file (output_<name>.cpp, which makes its row) and one line in
// outputTable(). docs/adding-an-output.md walks through it.
//
// One song's conversion: decode the record once, change key and tempo once,
// plan each requested output's files, then call each requested writer once,
// in table order. Everything a writer reads is in the SongContext, made on
// first use and shared: the lyrics with their times, the melody, the song
// as a MIDI file in memory, the rendered audio. The row is in
// output_row.hpp, the song's context in song_context.hpp.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/convert_song.hpp"
#include "convert/output_row.hpp"
#include "convert/output_set.hpp"
#include "convert/song_context.hpp"
#include "export/timed_lyrics.hpp"
#include "export/ultrastar.hpp"
#include "format/byte_sink.hpp"
#include "inspect/melody.hpp"
#include "format/record_error.hpp"
#include "io/file_io.hpp"
#include "midi/tempo_map.hpp"
#include "midi/track_notes.hpp"

namespace kdb2mid {

// What a song's files add to its stem, one entry per file options ask for
// and per chorus part: ".mid", ".kar", the audio's extension, "_<part>.mp3".
std::vector<std::string> songFileSuffixes(const ConvertOptions& options,
                                          std::span<const std::uint32_t> chorusParts);

// Fills song.planned() with the outputs options ask for (all but the .mid
// only when the record was decoded) and their files.
void planOutputs(SongContext& song);

// Lyric files were asked for, and the song has no lyric line for them.
bool lyricsMissing(SongContext& song);

// --resume: marks done each planned output whose files all exist already
// (outputs are complete or absent, so a file that exists is finished), so
// that only the others are written and the song is rendered only for them.
// Whether every output is done.
bool markFinishedOutputs(SongContext& song);

// Whether every chorus recording the record asks for exists already.
bool chorusFilesExist(const SongContext& song, const SongDatabase& database,
                      const ChorusRequest& chorus);

// Calls each planned output's writer once, in table order, until one
// refuses the record; returns false when one did. Outputs marked done are
// passed over.
bool writeOutputs(SongContext& song);

// Helpers for writers.

// Writes text into path, complete or not at all; reports a failure.
void writeTextOutput(SongContext& song, const std::filesystem::path& path, std::string_view text);

// Writes one file from the record through write(out), complete or not at
// all. Returns false when the record was refused (decoded, or the writer,
// found it unfit), after reporting it.
template <class Write>
bool writeRecordOutput(SongContext& song, const std::filesystem::path& path, RecordError refused,
                       Write write);

// The song's data tracks in order, as they will be written.
std::vector<std::span<const std::uint8_t>> dataTracksOf(const DecodedSong& song);

// Rewrites the data tracks with every note (not the drums') moved `semitones`
// and every tempo scaled to `percent`; the writers then read those.
void adjustTracks(DecodedSong& song, int semitones, int percent);

// Where a part of the song's audio goes, beside the full song's audio file:
// "50004.flac" -> "50004.instrumental.flac" for part "instrumental", the
// stem followed by partEnding("instrumental", ".flac").
std::filesystem::path partFile(const std::filesystem::path& audio, std::string_view part);
std::string partEnding(std::string_view part, std::string_view extension);
inline constexpr std::string_view kInstrumentalPart = "instrumental";
inline constexpr std::string_view kGuidePart = "guide";
// Adds, when the song is split (splitsMelody), the part files beside the
// audio file last added to files.
void addPartFiles(SongContext& song, std::vector<std::filesystem::path>& files);

// A path typed on the command line (UTF-8), as the system names it.
std::filesystem::path pathFromUtf8(std::string_view text);

// Reports an output file that could not be made and returns false.
bool reportOutputFailure(SongContext& song, const std::filesystem::path& path,
                         const OutputFailure& failure);
void reportRefusedRecord(SongContext& song, RecordError error);

template <class Write>
bool writeRecordOutput(SongContext& song, const std::filesystem::path& path, RecordError refused,
                       Write write) {
    AtomicOutputFile out;
    if (!out.open(path)) {
        reportOutputFailure(song, path, out.failure());
        return true;
    }
    const RecordError error = refused != RecordError::none ? refused : write(out);
    if (error != RecordError::none) {
        out.abandon();
        reportRefusedRecord(song, error);
        return false;
    }
    if (!out.commit()) reportOutputFailure(song, path, out.failure());
    return true;
}

}  // namespace kdb2mid
