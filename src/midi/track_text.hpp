// The texts inside a song's own MIDI tracks: track names, instrument names,
// markers and the like (meta events FF 01 to FF 07) hold the database's
// two-byte letters just as its titles and lyrics do. The first track's name
// is what players show as the song's title.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "format/record_error.hpp"

namespace kdb2mid {

// Meta event types that carry text: text, copyright, track name, instrument
// name, lyric, marker, cue point.
inline constexpr std::uint8_t kFirstTextMeta = 0x01;
inline constexpr std::uint8_t kLastTextMeta = 0x07;

// Appends a track chunk ("MTrk", length, body) for a data track body with
// every text meta event decoded to UTF-8, its length written anew as a
// variable-length number. Every other byte, and so every event and its time,
// stays as stored, and so do the bytes after the end-of-track event. A body
// whose events cannot all be read (midi/track_events.hpp) is copied as
// stored, texts and all. Reads nothing
// outside body. textTooLong when a decoded text or the chunk is too long for
// a MIDI file; chunk is then left partly written. scratch is reused between
// calls.
RecordError appendUtf8TrackChunk(std::span<const std::uint8_t> body, std::vector<std::uint8_t>& chunk,
                                 std::string& scratch);

}  // namespace kdb2mid
