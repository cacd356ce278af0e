// Changing a song's key and speed by rewriting its MIDI track bodies: notes
// moved by semitones, set-tempo values scaled.
//
// Both keep every event in place with its delta time and length, so a track
// keeps its size (scaleTempo may put one event in front). An event that
// cannot be read whole ends the rewriting: it and the rest of the track are
// copied unchanged, as any reader would stop there too.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kdb2mid {

inline constexpr int kMinTranspose = -12;
inline constexpr int kMaxTranspose = 12;
inline constexpr int kMinTempoPercent = 25;
inline constexpr int kMaxTempoPercent = 400;

// The channel General MIDI keeps for drums (the tenth, index 9): its keys
// choose instruments, not pitches.
inline constexpr std::uint8_t kDrumChannelIndex = 9;

// key moved by semitones; a key that would leave 0..127 moves by whole
// octaves back into range. The same key always maps to the same key, so note-on
// and note-off stay paired.
std::uint8_t transposedKey(std::uint8_t key, int semitones) noexcept;

// The track with the key of every note-on, note-off and polyphonic
// aftertouch on a channel other than the drums moved by semitones (running
// status included). semitones is clamped to kMinTranspose..kMaxTranspose.
std::vector<std::uint8_t> transposeTrack(std::span<const std::uint8_t> track, int semitones);

// A set-tempo value played at percent of its speed: x 100 / percent, rounded,
// kept within 1..0xFFFFFF (its three bytes).
std::uint32_t scaledTempo(std::uint32_t microsecondsPerQuarter, int percent) noexcept;

// The track with every set-tempo value scaled. A value of 0, which readers
// ignore, stays 0. With addStartTempo a set-tempo event at tick 0 holding the
// default 120 quarters a minute, scaled, goes first. percent is clamped to
// kMinTempoPercent..kMaxTempoPercent.
std::vector<std::uint8_t> scaleTempo(std::span<const std::uint8_t> track, int percent,
                                     bool addStartTempo = false);

// Whether any of the tracks sets the tempo at tick 0 (the song then needs no
// added start tempo before scaling).
bool setsTempoAtStart(std::span<const std::span<const std::uint8_t>> tracks);

// The track without its notes: every note-on, note-off and polyphonic
// aftertouch left out, everything else (controllers, program changes, pitch
// bends, tempo, texts, system exclusive) kept at its tick, so the channels it
// sets up sound the same for the notes other tracks play on them. Channel
// events are written with their status byte (no running status). An event
// that cannot be read whole ends the track there, with an end-of-track event,
// as any reader would stop there too.
std::vector<std::uint8_t> withoutNotes(std::span<const std::uint8_t> track);

// A song's data tracks in order with both changes applied: the tempo scaled
// in every track, and a start tempo added to the first when no track sets
// one at tick 0. Tracks no change touches are copied as they are.
std::vector<std::vector<std::uint8_t>> transformTracks(
    std::span<const std::span<const std::uint8_t>> tracks, int semitones, int percent);

}  // namespace kdb2mid
