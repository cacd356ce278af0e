// What `kdb2mid info` tells about one song, gathered once from its record
// and its chorus entries: the report and `info --json` are two renderings of
// this one value (inspect/song_report.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format/decoded_song.hpp"
#include "format/record_error.hpp"
#include "io/song_database.hpp"

namespace kdb2mid {

// What the chorus files hold for the song, as read at the edge.
struct ChorusFacts {
    bool indexOpen = false;
    // The song's entries of CRS&TCK.IDX as read from its first entry on; fewer
    // bytes than announced when the file ends early.
    std::span<const std::uint8_t> entries;
    std::optional<std::uint64_t> dataSize;  // CHORUS.DAT's size; nothing if it does not open
};

enum class ChorusPartProblem : std::uint8_t { none, endBeforeStart, dataMissing, pastDataEnd };

// One chorus recording the song's record announces.
struct ChorusPartFacts {
    std::uint32_t part = 0;
    std::uint64_t bytes = 0;
    std::string file;  // the MP3 file name the chorus export writes it to
    ChorusPartProblem problem = ChorusPartProblem::none;
};

// The guide melody: the data track whose notes begin where most words are
// sung.
struct MelodyFacts {
    int track = 0;            // counted from 1 in the .mid's order; 0 when no track qualifies
    std::size_t words = 0;    // words of the lyrics
    std::size_t covered = 0;  // words at which the best track begins a note
};

struct SongFacts {
    std::int32_t song = 0;
    std::size_t recordBytes = 0;
    std::size_t imageBytes = 0;                  // decoded
    std::vector<std::vector<std::uint8_t>> titles;      // as stored
    std::size_t tracks = 0;                      // data tracks
    std::uint64_t ticks = 0;
    double seconds = 0;
    std::size_t lyricLineCount = 0;              // as the lyric block counts them
    std::size_t lyricEvents = 0;
    std::vector<std::vector<std::uint8_t>> lyricLines;  // as stored, one per line that holds text
    bool twoByteLetters = false;                 // in the titles or the lyrics
    // Chorus recordings: announced by the record (count, from firstEntry),
    // then each whose CRS&TCK.IDX entry could be read.
    std::optional<std::uint32_t> chorusCount;
    std::uint32_t chorusFirstEntry = 0;
    bool chorusIndexOpen = false;
    bool chorusDataOpen = false;
    std::vector<ChorusPartFacts> chorusParts;
    MelodyFacts melody;
};

// Fills facts for the song whose record this is. On an error the record
// cannot be decoded and facts is left as it was. Reads only inside record
// and chorus.entries.
RecordError gatherSongFacts(std::int32_t songNumber, std::span<const std::uint8_t> record,
                            const ChorusFacts& chorus, DecodedSong& work, SongFacts& facts);

// Reads the song's record and its CRS&TCK.IDX entries from the database and
// gathers its facts into facts. Returns why it could not, as a phrase for
// cannotReadSong(), or "" when facts holds them.
std::string readSongFacts(const SongDatabase& database, std::int32_t songNumber, SongFacts& facts);

}  // namespace kdb2mid
