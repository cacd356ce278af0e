// What `kdb2mid info` prints about one song: its facts (inspect/song_facts.hpp)
// as a report for people, as song_json.hpp gives them to programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "format/decoded_song.hpp"
#include "format/record_error.hpp"
#include "inspect/song_facts.hpp"
#include "inspect/song_json.hpp"
#include "messages/message_sink.hpp"

namespace kdb2mid {

// The report: titles, data tracks, length in ticks and seconds, lyric lines
// and events, whether its text holds two-byte letters, the melody, chorus
// recordings, then the lyrics line by line. Text is shown as UTF-8.
std::string infoReport(const SongFacts& facts);

// "track 2, 7 of 7 words (100%)", "none found (best track covers 40% of
// words)" or "none (no words to sing)". Shares are rounded down, so a track
// that falls short of the melody's share never shows it.
std::string describeMelody(const MelodyFacts& melody);

// gatherSongFacts, then the report into text (left empty on an error).
RecordError describeSong(std::int32_t songNumber, std::span<const std::uint8_t> record,
                         const ChorusFacts& chorus, DecodedSong& song, std::string& text);

// `kdb2mid info`: the report (or its JSON, on one line) of one song of the
// database in folder to out.line; false after a failure line.
bool showSongInfo(const std::filesystem::path& folder, std::int32_t songNumber, OutputForm form,
                  const MessageSink& out);

}  // namespace kdb2mid
