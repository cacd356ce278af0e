// Many songs of one database converted on several threads, each song through
// the same convertSong() a single-song run uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "convert/convert_song.hpp"
#include "io/song_database.hpp"
#include "messages/batch_messages.hpp"

namespace kdb2mid {

// The songs of a batch, in order: numbers given one by one, or every number
// from first to last, held as its two ends so that a run over every song of
// a huge index costs no memory per song.
class SongSelection {
public:
    SongSelection() = default;
    SongSelection(std::span<const std::int32_t> list) noexcept : list_(list), count_(list.size()) {}
    SongSelection(const std::vector<std::int32_t>& list) noexcept
        : SongSelection(std::span<const std::int32_t>(list)) {}
    // first .. last, both included; empty when last is below first.
    static SongSelection range(std::int32_t first, std::int32_t last) noexcept;

    std::size_t size() const noexcept { return count_; }
    bool empty() const noexcept { return count_ == 0; }
    std::int32_t operator[](std::size_t i) const noexcept {
        return isRange_ ? static_cast<std::int32_t>(first_ + static_cast<std::int64_t>(i))
                        : list_[i];
    }

private:
    std::span<const std::int32_t> list_;
    bool isRange_ = false;
    std::int64_t first_ = 0;
    std::size_t count_ = 0;
};


struct BatchProgress {
    // Songs this run converts: those with an index entry that is not empty,
    // less those --resume finds done (taken off the total as they are found).
    std::size_t songsDone = 0;
    std::size_t songsTotal = 0;
    // SONG.DAT bytes of the records finished and of all records to convert.
    std::uint64_t bytesDone = 0;
    std::uint64_t bytesTotal = 0;
    // Seconds of sound or pictures made so far, per output that counts them
    // (0 when none is asked for).
    SecondsMade secondsMade{};
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
// the batch; SONG.IDX is read a block at a time by each thread. One song's
// failure does not stop the others. Once the run is interrupted
// (io/interruption.hpp) no thread starts another song; the songs in progress
// end with their outputs abandoned. The database must not change while the
// batch runs.
BatchTotals convertSongs(const SongDatabase& database, const SongSelection& songs,
                         const std::filesystem::path& outFolder, const ConvertOptions& options,
                         unsigned threads, BatchObserver& observer);

}  // namespace kdb2mid
