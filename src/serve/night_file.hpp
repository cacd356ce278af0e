// The night as JSON: what the pages get (GET /api/queue, every pushed
// state) and the state file that keeps it across restarts, written and read
// back. The file is UTF-8 JSON:
//   {"kdb2mid-night": 1, "version": V, "lastId": N, "playing": ENTRY|null,
//    "controls": CONTROLS, "entries": [ENTRY...], "history": [SUNG...],
//    "keys": [KEYS...]}
//   ENTRY = {"id","song","title","singer","key","phone"}
//   SUNG  = {"song","title","singer","key"}
//   KEYS  = {"singer": folded name, "usual": K, "songs": [[SONG, K]...]}
// The song playing starts again from its beginning after a restart, with
// the controls it had.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "serve/night_state.hpp"

namespace kdb2mid {

inline constexpr int kNightFileFormat = 1;
// Larger files are refused unread: a full night (200 entries, the history
// kept, every singer's keys) is well under it.
inline constexpr std::size_t kMaxNightFileBytes = 4 * 1024 * 1024;

// {"version":V,"playing":ENTRY|null,"entries":[...],"controls":{...},
//  "history":[the newest kHistoryShown]}, on one line.
std::string nightJson(const NightState& night);

// {"id","song","title","singer","key","phone"} of one entry, on one line.
std::string entryJson(const QueueEntry& entry);

// The state file's bytes for night.
std::string nightFileText(const NightState& night);

// Reads a state file's bytes. Nothing when they are not a state file this
// program wrote, or break a limit a night keeps (more entries than
// kMaxQueueEntries, names it would refuse, keys out of range, ids not below
// lastId, ...): whatever the bytes, the night returned is one the server
// could have reached itself. Reads only inside bytes; never throws but
// std::bad_alloc.
std::optional<NightState> readNightFile(std::span<const std::uint8_t> bytes);

}  // namespace kdb2mid
