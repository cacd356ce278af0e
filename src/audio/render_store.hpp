// A song's sound held in memory until it is used: in half the memory floats
// would take, every 64 frames as 16-bit values scaled to their own loudest
// sample, which keeps each stretch 96 dB above its rounding, finer than the
// 16-bit files made from it. It grows in chunks, so growing never copies. A
// song at the one-hour cap holds 650 MB (710 MB at 48 kHz).
//
// Read once with take(), which frees each chunk as soon as it has been used,
// or any number of times at once with Reader, which leaves the store as it is.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kdb2mid {

class RenderStore {
public:
    void append(std::span<const float> samples);

    std::size_t size() const noexcept { return groups_ * kGroup + pendingSize_; }

    // Rounds samples in place as a store holds them: each group of 64 frames
    // from the first (samples.size() a multiple of 128) comes out exactly as
    // a Reader would hand it back. Sound that is used as it is made (a guide
    // melody played while its song is finished) is rounded alike, so that it
    // is the same whether or not it was stored.
    static void roundAsStored(std::span<float> samples) noexcept;

    // Reads the samples in order, in pieces, without changing the store: any
    // number of readers at once, from any threads, while nothing is appended.
    class Reader {
    public:
        explicit Reader(const RenderStore& store) : store_(store) {}
        // The next piece, or an empty span after the last; valid until the
        // next call. Stores given the same number of samples give pieces of
        // the same sizes.
        std::span<const float> next();

    private:
        friend class RenderStore;
        const RenderStore& store_;
        std::size_t group_ = 0;
        bool tailTaken_ = false;
        std::vector<float> piece_;
    };

    // Hands the samples on in order, in pieces, to use (false: stop), and
    // frees each chunk once it has been used: the store is read once.
    template <typename Use>
    bool take(Use&& use) {
        Reader reader(*this);
        for (;;) {
            const std::size_t before = reader.group_;
            const std::span<const float> piece = reader.next();
            if (piece.empty()) return true;
            // The piece is a copy: the chunk it came from can go first.
            const std::size_t done = reader.group_;
            if (done != before && (done % kChunkGroups == 0 || done == groups_)) {
                chunks_[(done - 1) / kChunkGroups] = Chunk{};
            }
            if (!use(piece)) return false;
        }
    }

private:
    static constexpr std::size_t kGroup = 128;         // samples: 64 frames
    static constexpr std::size_t kChunkGroups = 8192;  // 2 MB of values
    static constexpr std::size_t kPieceGroups = 64;    // 32 KB handed on at a time

    struct Chunk {
        std::unique_ptr<std::int16_t[]> values;
        std::unique_ptr<float[]> scales;
    };

    void storePending();

    std::vector<Chunk> chunks_;
    std::size_t groups_ = 0;
    std::array<float, kGroup> pending_{};
    std::size_t pendingSize_ = 0;
};

}  // namespace kdb2mid
