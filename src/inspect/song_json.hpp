// Machine-readable song facts: one JSON object per song, on one line, for
// `list --json` and `info --json`. Text is UTF-8; bytes that do not decode
// are U+FFFD; the JSON writer escapes control characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/song_facts.hpp"

namespace kdb2mid {

// How a command prints songs: text for people, or JSON for programs.
enum class OutputForm : std::uint8_t { text, json };

// {"song":N,"name":"..."} without a line end.
std::string listJson(std::int32_t song, std::string_view name);

// The facts with their text as UTF-8 (leading spaces of a lyric line
// dropped; malformed characters replaced, control characters escaped):
// {"song":N,"titles":[...],"tracks":N,"ticks":N,"seconds":S,"lyrics":[...],
//  "chorus":[{"part":N,"bytes":N,"file":"..."} or {"part":N,"problem":"..."}],
//  "melody":{"track":N or null,"words":N,"covered":N}}
// on one line, without a line end.
std::string infoJson(const SongFacts& facts);

}  // namespace kdb2mid
