// Standard MIDI File constants the converter writes and reads.
#pragma once

#include <cstdint>

namespace kdb2mid {

// Every file this tool writes: format 1 (simultaneous tracks), 120 ticks per
// quarter note, the division the database's songs are timed in.
inline constexpr std::uint16_t kMidiFormat = 1;
inline constexpr std::uint16_t kMidiDivision = 120;

// Meta events: FF, type, variable-length size, data.
inline constexpr std::uint8_t kMetaEvent = 0xFF;
inline constexpr std::uint8_t kMetaText = 0x01;
inline constexpr std::uint8_t kMetaTrackName = 0x03;
inline constexpr std::uint8_t kMetaLyric = 0x05;
inline constexpr std::uint8_t kMetaEndOfTrack = 0x2F;
inline constexpr std::uint8_t kMetaSetTempo = 0x51;
inline constexpr std::uint8_t kMetaTimeSignature = 0x58;
inline constexpr std::uint8_t kMetaKeySignature = 0x59;

// System exclusive events: status, variable-length size, data.
inline constexpr std::uint8_t kSysEx = 0xF0;
inline constexpr std::uint8_t kSysExEscape = 0xF7;

inline constexpr std::uint8_t kNoteOff = 0x80;
inline constexpr std::uint8_t kNoteOn = 0x90;

}  // namespace kdb2mid
