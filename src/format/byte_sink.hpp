// Where writers hand their output: a file being written, or memory.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kdb2mid {

// Something the MIDI writers and the exports hand their output to.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    virtual void write(std::span<const std::uint8_t> bytes) = 0;
};

// A ByteSink that appends to a vector.
class VectorSink final : public ByteSink {
public:
    explicit VectorSink(std::vector<std::uint8_t>& out) : out_(out) {}
    void write(std::span<const std::uint8_t> bytes) override {
        out_.insert(out_.end(), bytes.begin(), bytes.end());
    }

private:
    std::vector<std::uint8_t>& out_;
};

}  // namespace kdb2mid
