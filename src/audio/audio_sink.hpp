// Where an encoded audio file goes. Encoders write their header first and
// fill in sizes at the end, so besides writing they move about in what they
// have written: the sink is a file that can be seeked within.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kdb2mid {

class AudioSink {
public:
    virtual ~AudioSink() = default;
    // Writes bytes at the current position (overwriting, then extending) and
    // moves past them; false if they could not all be written.
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;
    // Moves the position to offset from the start; false if it cannot. An
    // offset past the end is allowed: the gap reads as zero bytes once written past.
    virtual bool seek(std::uint64_t offset) = 0;
    virtual std::uint64_t tell() const = 0;
    // Bytes in the file so far.
    virtual std::uint64_t length() const = 0;
};

// An audio file in memory, for tests and tools.
class MemoryAudioSink final : public AudioSink {
public:
    bool write(std::span<const std::uint8_t> bytes) override;
    bool seek(std::uint64_t offset) override;
    std::uint64_t tell() const override { return position_; }
    std::uint64_t length() const override { return bytes_.size(); }

    const std::vector<std::uint8_t>& bytes() const noexcept { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t position_ = 0;
};

}  // namespace kdb2mid
