// Proves that the state file's reader takes any bytes without reading
// outside them, and that whatever night it accepts is one the server could
// have reached itself: within every limit, written back to the same file
// and read again to the same night (so a night restored after a restart is
// the one that was saved).
//
// Input: the whole state file.
#include <algorithm>
#include <set>
#include <string>

#include "fuzz_targets.hpp"
#include "midi/track_transform.hpp"
#include "serve/night_file.hpp"

namespace kdb2mid::fuzz {

void fuzzNightFile(Input input) {
    const std::optional<NightState> night = readNightFile(input);
    if (!night) return;
    require(night->entries.size() <= kMaxQueueEntries, "more entries than a queue holds");
    require(night->history.size() <= kHistoryKept, "a longer history than is kept");
    require(night->keys.size() <= kMaxRememberedSingers, "more singers than are remembered");
    std::set<std::uint64_t> ids;
    const auto entryWithinLimits = [&](const QueueEntry& entry) {
        require(entry.id >= 1 && entry.id <= night->lastId, "an id the night has not given");
        require(ids.insert(entry.id).second, "two entries with one id");
        require(entry.key >= kMinTranspose && entry.key <= kMaxTranspose, "a key out of range");
        require(acceptableSinger(entry.singer), "a name the server refuses");
    };
    if (night->playing) entryWithinLimits(*night->playing);
    for (const QueueEntry& entry : night->entries) entryWithinLimits(entry);
    for (const auto& [singer, known] : night->keys) {
        require(!singer.empty() && singerKeyName(singer) == singer, "a singer not folded");
        require(known.songs.size() <= kMaxRememberedSongsPerSinger, "too many songs remembered");
    }
    const std::string written = nightFileText(*night);
    const std::optional<NightState> again = readNightFile(
        std::span(reinterpret_cast<const std::uint8_t*>(written.data()), written.size()));
    require(again.has_value(), "the night written back does not read");
    require(*again == *night, "the night written back reads differently");
}

}  // namespace kdb2mid::fuzz
