// Many songs of one database converted on several threads, each song through
// the same convertSong() a single-song run uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

#include "convert/convert_song.hpp"
#include "io/song_database.hpp"

namespace kdb2mid {

struct BatchTotals {
    std::size_t converted = 0;
    std::size_t skipped = 0;
    std::size_t failed = 0;
    std::size_t alreadyDone = 0;     // --resume found all their files
    std::size_t withoutLyrics = 0;   // lyric files asked for, no lyric line to write
};

struct BatchProgress {
    std::size_t songsDone = 0;
    std::size_t songsTotal = 0;
    // SONG.DAT bytes of the records finished and of all records in the batch.
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
    // Audio rendered so far, in seconds of sound (0 when none is asked for).
    double audioSeconds = 0;
};

// Told about a batch as it runs. The batch calls one member at a time (under
// one lock), so an observer that prints needs no locking of its own.
class BatchObserver {
public:
    virtual ~BatchObserver() = default;
    // Each song's result, in the order of the song list, whatever order the
    // threads finish them in.
    virtual void songFinished(std::int32_t songNumber, const SongResult& result) = 0;
    // After each song, in the order the songs finish.
    virtual void progressed(const BatchProgress& progress) = 0;
};

// Converts songs into outFolder on up to `threads` threads (at least one; the
// calling thread is one of them), each with its own ConvertWorkspace, so
// memory grows with the number of threads and the largest record, not with
// the batch. One song's failure does not stop the others. The database should
// have its index loaded (SongDatabase::loadIndex) and must not change while
// the batch runs.
BatchTotals convertSongs(const SongDatabase& database, std::span<const std::int32_t> songs,
                         const std::filesystem::path& outFolder, const ConvertOptions& options,
                         unsigned threads, BatchObserver& observer);

}  // namespace kdb2mid
