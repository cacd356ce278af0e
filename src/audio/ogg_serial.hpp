// Ogg pages with a stream serial chosen by the caller. libsndfile picks the
// serial of the Ogg streams it writes at random, so the same song encoded
// twice gave two different files; this sink puts one serial derived from
// the song into every page on its way out, and the page's checksum with it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "audio/audio_sink.hpp"

namespace kdb2mid {

// The Ogg page checksum (CRC-32, polynomial 0x04C11DB7, MSB first, from 0)
// over bytes, as a page holds it with its own checksum field zeroed.
std::uint32_t oggChecksum(std::span<const std::uint8_t> bytes) noexcept;

// Passes an Ogg stream written front to back on to out, one whole page at a
// time, each with serial as its stream serial. Bytes that do not parse as
// Ogg pages pass unchanged; a seek while a page is half written fails.
class OggSerialSink final : public AudioSink {
public:
    OggSerialSink(AudioSink& out, std::uint32_t serial) : out_(out), serial_(serial) {}

    bool write(std::span<const std::uint8_t> bytes) override;
    bool seek(std::uint64_t offset) override;
    std::uint64_t tell() const override { return out_.tell() + pending_.size(); }
    std::uint64_t length() const override { return std::max(out_.length(), tell()); }
    // Passes on what is left of a page cut short; false if out refused it.
    bool finish();

private:
    // Patches and passes on each whole page at the front of pending_.
    bool passPages();

    AudioSink& out_;
    std::uint32_t serial_;
    std::vector<std::uint8_t> pending_;
    bool passThrough_ = false;  // the stream is no Ogg: left as it is
};

// A stream serial for the song whose MIDI file is midi: the same song gives
// the same serial on every machine, two songs most likely two serials.
std::uint32_t streamSerialFor(std::span<const std::uint8_t> midi) noexcept;

}  // namespace kdb2mid
