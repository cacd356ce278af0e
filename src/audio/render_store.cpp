#include "audio/render_store.hpp"

#include <algorithm>
#include <cmath>

#include "audio/true_peak_limiter.hpp"

namespace kdb2mid {

namespace {

constexpr float kLargest = 32767.0f;

// A group's scale (what its values are multiplied by when read) and its
// values: each sample over the group's loudest, within +-kLargest.
float encodeGroup(std::span<const float> group, std::int16_t* values) noexcept {
    const float peak = peakOf(group);
    const float scale = peak > 0.0f ? peak / kLargest : 0.0f;
    const float inverse = peak > 0.0f ? kLargest / peak : 0.0f;
    for (std::size_t k = 0; k < group.size(); ++k) {
        const float value = group[k] * inverse;
        values[k] = static_cast<std::int16_t>(value + std::copysign(0.5f, value));
    }
    return scale;
}

}  // namespace

void RenderStore::roundAsStored(std::span<float> samples) noexcept {
    std::array<std::int16_t, kGroup> values{};
    for (std::size_t at = 0; at + kGroup <= samples.size(); at += kGroup) {
        const std::span<float> group = samples.subspan(at, kGroup);
        const float scale = encodeGroup(group, values.data());
        for (std::size_t k = 0; k < kGroup; ++k) group[k] = static_cast<float>(values[k]) * scale;
    }
}

void RenderStore::append(std::span<const float> samples) {
    for (float sample : samples) {
        pending_[pendingSize_++] = sample;
        if (pendingSize_ == kGroup) storePending();
    }
}

void RenderStore::storePending() {
    if (groups_ % kChunkGroups == 0) {
        chunks_.push_back(
            Chunk{std::make_unique_for_overwrite<std::int16_t[]>(kChunkGroups * kGroup),
                  std::make_unique_for_overwrite<float[]>(kChunkGroups)});
    }
    Chunk& chunk = chunks_.back();
    const std::size_t at = groups_ % kChunkGroups;
    chunk.scales[at] = encodeGroup(pending_, chunk.values.get() + at * kGroup);
    ++groups_;
    pendingSize_ = 0;
}

std::span<const float> RenderStore::Reader::next() {
    const RenderStore& store = store_;
    if (group_ < store.groups_) {
        const Chunk& chunk = store.chunks_[group_ / kChunkGroups];
        const std::size_t first = group_ % kChunkGroups;
        const std::size_t count =
            std::min({kPieceGroups, kChunkGroups - first, store.groups_ - group_});
        piece_.resize(count * kGroup);
        for (std::size_t g = 0; g < count; ++g) {
            const float scale = chunk.scales[first + g];
            const std::int16_t* values = chunk.values.get() + (first + g) * kGroup;
            float* out = piece_.data() + g * kGroup;
            for (std::size_t k = 0; k < kGroup; ++k) out[k] = static_cast<float>(values[k]) * scale;
        }
        group_ += count;
        return piece_;
    }
    if (tailTaken_) return {};
    tailTaken_ = true;
    return std::span<const float>(store.pending_.data(), store.pendingSize_);
}

}  // namespace kdb2mid
