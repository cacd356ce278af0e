#include "convert/batch.hpp"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "io/interruption.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

// A thread may run at most this many songs ahead of the earliest song not yet
// reported, so that results waiting for their turn stay few even when one
// thread is held up by a large song while the others race through thousands
// of songs without records.
constexpr std::size_t kMaxSongsAhead = 1024;

// What a song adds to the progress: nothing for an index entry without a
// record (no song to convert), else one song and its record's bytes.
struct SongWeight {
    bool counted = false;
    std::uint64_t bytes = 0;
};

SongWeight weightOf(const SongDatabase& database, std::int32_t songNumber, IndexBlock& index) {
    const RecordLookup where = database.locate(songNumber, index);
    return {where.outcome != RecordLookup::Outcome::empty,
            where.outcome == RecordLookup::Outcome::found ? where.length : 0};
}

// convertSong() reports what it knows as results, running out of memory
// included; what is left is another library failure, which must not take the
// other songs down with it.
SongResult convertGuarded(const SongDatabase& database, std::int32_t songNumber,
                          const std::filesystem::path& outFolder, const ConvertOptions& options,
                          ConvertWorkspace& work) {
    try {
        return convertSong(database, songNumber, outFolder, options, work);
    } catch (const std::exception& error) {
        SongResult result;
        result.fail(cannotConvert(songNumber, error.what()));
        return result;
    }
}

class BatchRun {
public:
    BatchRun(const SongDatabase& database, const SongSelection& songs,
             const std::filesystem::path& outFolder, const ConvertOptions& options,
             BatchObserver& observer)
        : database_(database),
          songs_(songs),
          outFolder_(outFolder),
          options_(options),
          observer_(observer) {
        IndexBlock index;
        for (std::size_t i = 0; i < songs.size() && !interrupted(); ++i) {
            const SongWeight weight = weightOf(database, songs[i], index);
            if (weight.counted) ++progress_.songsTotal;
            progress_.bytesTotal += weight.bytes;
        }
    }

    void work() {
        try {
            convertSongsInTurn();
        } catch (...) {
            // This thread's song will never be reported: no other may wait for it.
            const std::lock_guard<std::mutex> guard(lock_);
            abandoned_ = true;
            reported_.notify_all();
            throw;
        }
    }

    BatchTotals totals() const { return totals_; }

private:
    void convertSongsInTurn() {
        ConvertWorkspace workspace;
        for (;;) {
            if (interrupted()) return;
            const std::size_t position = next_.fetch_add(1);
            if (position >= songs_.size()) return;
            {
                // The song at nextToReport_ has been claimed and never waits
                // here, so this wait always ends.
                std::unique_lock<std::mutex> guard(lock_);
                reported_.wait(guard, [&] {
                    return abandoned_ || position < nextToReport_ + kMaxSongsAhead;
                });
                if (abandoned_) return;
            }
            const std::int32_t song = songs_[position];
            SongResult result = convertGuarded(database_, song, outFolder_, options_, workspace);
            const SongWeight weight = weightOf(database_, song, workspace.index);
            finish(position, std::move(result), weight);
        }
    }

    void finish(std::size_t position, SongResult result, SongWeight weight) {
        const std::lock_guard<std::mutex> guard(lock_);
        switch (result.outcome) {
            case SongResult::Outcome::converted:
                ++(result.alreadyDone ? totals_.alreadyDone : totals_.converted);
                break;
            case SongResult::Outcome::skipped: ++totals_.skipped; break;
            case SongResult::Outcome::failed: ++totals_.failed; break;
            case SongResult::Outcome::interrupted: ++totals_.interrupted; break;
        }
        if (result.withoutLyrics) ++totals_.withoutLyrics;
        if (result.belowLoudness) ++totals_.belowLoudness;
        if (result.alreadyDone && weight.counted) {
            // Nothing to convert after all: the total shrinks, the count stays.
            --progress_.songsTotal;
            progress_.bytesTotal -= std::min(progress_.bytesTotal, weight.bytes);
        } else if (weight.counted) {
            ++progress_.songsDone;
            progress_.bytesDone += weight.bytes;
        }
        for (std::size_t i = 0; i < kMaxOutputs; ++i) {
            progress_.secondsMade[i] += result.secondsMade[i];
        }
        observer_.progressed(progress_);
        // A result waits here while an earlier song is still being
        // converted; it holds only its message lines, never the song's output.
        waiting_.emplace(position, std::move(result));
        const std::size_t before = nextToReport_;
        while (!waiting_.empty() && waiting_.begin()->first == nextToReport_) {
            observer_.songFinished(songs_[nextToReport_], waiting_.begin()->second);
            waiting_.erase(waiting_.begin());
            ++nextToReport_;
        }
        if (nextToReport_ != before) reported_.notify_all();
    }

    const SongDatabase& database_;
    const SongSelection& songs_;
    const std::filesystem::path& outFolder_;
    const ConvertOptions& options_;
    BatchObserver& observer_;
    std::atomic<std::size_t> next_{0};

    std::mutex lock_;  // guards everything below and every observer call
    BatchTotals totals_;
    BatchProgress progress_;
    std::map<std::size_t, SongResult> waiting_;
    std::condition_variable reported_;  // nextToReport_ moved on, or abandoned_ was set
    bool abandoned_ = false;            // a thread left the batch by an exception
    std::size_t nextToReport_ = 0;
};

}  // namespace

SongSelection SongSelection::range(std::int32_t first, std::int32_t last) noexcept {
    SongSelection songs;
    songs.isRange_ = true;
    songs.first_ = first;
    songs.count_ = last < first ? 0 : static_cast<std::size_t>(std::int64_t{last} - first + 1);
    return songs;
}

BatchTotals convertSongs(const SongDatabase& database, const SongSelection& songs,
                         const std::filesystem::path& outFolder, const ConvertOptions& options,
                         unsigned threads, BatchObserver& observer) {
    BatchRun run(database, songs, outFolder, options, observer);
    const std::size_t helpers = std::min<std::size_t>(threads > 1 ? threads - 1 : 0,
                                                      songs.size() > 0 ? songs.size() - 1 : 0);
    // A helper thread that fails outside a song (out of memory while
    // reporting) hands its exception to the caller instead of ending the program.
    std::mutex failureLock;
    std::exception_ptr failure;
    std::vector<std::thread> pool;
    pool.reserve(helpers);
    for (std::size_t i = 0; i < helpers; ++i) {
        try {
            pool.emplace_back([&] {
                try {
                    run.work();
                } catch (...) {
                    const std::lock_guard<std::mutex> guard(failureLock);
                    if (!failure) failure = std::current_exception();
                }
            });
        } catch (const std::exception&) {
            break;  // no more threads to be had: go on with those started
        }
    }
    try {
        run.work();
    } catch (...) {
        for (std::thread& thread : pool) thread.join();
        throw;
    }
    for (std::thread& thread : pool) thread.join();
    if (failure) std::rethrow_exception(failure);
    return run.totals();
}

}  // namespace kdb2mid
