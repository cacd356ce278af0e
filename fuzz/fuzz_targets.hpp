// The fuzz targets as plain functions over one input, so that the libFuzzer
// executables, the plain replay executables and the test suite run the same
// code. A target returns normally for every input; a broken promise aborts
// with the name of the check that failed (and of the input, when known).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace kdb2mid::fuzz {

using Input = std::span<const std::uint8_t>;

// One song record in memory: table, decoding, MIDI assembly, lyric track.
void fuzzRecord(Input input);
// One option byte and a song record, decoded once and written by every
// writer of a song's files in memory: .mid, .kar, LRC, ASS, UltraStar.
void fuzzSongFiles(Input input);
// A whole single-song conversion over a database folder built from the input.
void fuzzConvertSong(Input input);
// The song-name export from fuzzed name.idx entries and name.tab.
void fuzzSongNames(Input input);
// The search cache parser over a whole cache file.
void fuzzSearchCache(Input input);
// The server's router: method, target, Host and body (when the build has serve).
void fuzzServeRouter(Input input);
// The server's state file reader over a whole file (when the build has serve).
void fuzzNightFile(Input input);

// Names the input about to run, for the message of a failed check.
void setInputName(std::string name);

[[noreturn]] void fail(const char* what);

inline void require(bool condition, const char* what) {
    if (!condition) fail(what);
}

}  // namespace kdb2mid::fuzz
