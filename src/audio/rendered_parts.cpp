#include "audio/rendered_parts.hpp"

#include <algorithm>


namespace kdb2mid {

namespace {

// Lead-in silence is handed on this many frames at a time.
constexpr std::size_t kSilenceFrames = 4096;

}  // namespace

PartsPlayer::PartsPlayer(const RenderedParts& parts, bool withLeadIn)
    : PartsPlayer(parts.full, {}, parts) {
    guideReader_.emplace(parts.guide);
    guideFrames_ = [this](std::size_t frames) { return storedGuide(frames); };
    leadInLeft_ = withLeadIn ? parts.leadInFrames : 0;
}

// finish gives the sample rate, the loudness target and the gain to it;
// its stores are not read.
PartsPlayer::PartsPlayer(const RenderStore& full, GuideFrames guide, const RenderedParts& finish)
    : fullReader_(full), guideFrames_(std::move(guide)) {
    if (finish.target) {
        gain_ = finish.loudness.silent ? 0.0f : amplitudeOf(finish.loudness.gainDb);
        limiter_.emplace(finish.sampleRate, amplitudeOf(kLimiterCeiling), gain_);
        limiter_->keepGains(&gains_);
    }
}

std::span<const float> PartsPlayer::storedGuide(std::size_t frames) {
    const std::size_t wanted = frames * kAudioChannels;
    guide_.erase(guide_.begin(), guide_.begin() + static_cast<std::ptrdiff_t>(guideUsed_));
    while (guide_.size() < wanted) {
        const std::span<const float> piece = guideReader_->next();
        if (piece.empty()) break;
        guide_.insert(guide_.end(), piece.begin(), piece.end());
    }
    guideUsed_ = std::min(wanted, guide_.size());
    return std::span<const float>(guide_.data(), guideUsed_);
}

std::array<std::span<const float>, 3> PartsPlayer::next() {
    if (leadInLeft_ > 0) {
        const auto frames =
            static_cast<std::size_t>(std::min<std::uint64_t>(leadInLeft_, kSilenceFrames));
        leadInLeft_ -= frames;
        limited_.assign(frames * kAudioChannels, 0.0f);
        return {limited_, limited_, limited_};
    }
    // The limiter hands frames on a look-ahead late: the guide follows the
    // frames it has let out, each with that frame's gain.
    while (!finished_) {
        limited_.clear();
        gains_.clear();
        const std::span<const float> piece = fullReader_.next();
        if (!limiter_) {
            limited_.resize(piece.size());
            std::transform(piece.begin(), piece.end(), limited_.begin(),
                           [](float sample) { return std::clamp(sample, -1.0f, 1.0f); });
        } else if (piece.empty()) {
            limiter_->finish(limited_);
        } else {
            limiter_->process(piece, limited_);
        }
        finished_ = piece.empty();
        const std::size_t frames = limited_.size() / kAudioChannels;
        if (frames == 0) continue;
        const std::span<const float> guide = guideFrames_(frames);
        melody_.assign(limited_.size(), 0.0f);
        rest_.resize(limited_.size());
        for (std::size_t f = 0; f < frames; ++f) {
            const float gain = limiter_ ? gain_ * gains_[f] : 1.0f;
            for (std::size_t c = 0; c < kAudioChannels; ++c) {
                const std::size_t k = kAudioChannels * f + c;
                if (k < guide.size()) melody_[k] = guide[k] * gain;
                rest_[k] = limited_[k] - melody_[k];
            }
        }
        return {limited_, rest_, melody_};
    }
    return {};
}

void PartReader::read(std::span<float> out) {
    std::size_t at = 0;
    while (at < out.size()) {
        if (stretch_.empty()) {
            stretch_ = player_.next()[part_];
            if (stretch_.empty()) break;
        }
        const std::size_t count = std::min(stretch_.size(), out.size() - at);
        std::copy_n(stretch_.begin(), count, out.begin() + static_cast<std::ptrdiff_t>(at));
        stretch_ = stretch_.subspan(count);
        at += count;
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(at), out.end(), 0.0f);
}

AudioStatus PartsEncoder::open(AudioFormat format, const std::array<AudioSink*, 3>& sinks,
                               const std::array<std::uint32_t, 3>& serials) {
    for (std::size_t i = 0; i < 3; ++i) {
        used_[i] = sinks[i] != nullptr;
        if (!used_[i]) continue;
        const EncodingEffort effort = i == 0 ? EncodingEffort::standard : EncodingEffort::quick;
        if (!encoders_[i].open(format, *sinks[i], serials[i], effort)) return encoders_[i].status();
    }
    return {};
}

AudioStatus PartsEncoder::write(const std::array<std::span<const float>, 3>& stretch) {
    for (std::size_t i = 0; i < 3; ++i) {
        if (used_[i] && !stretch[i].empty() && !encoders_[i].write(stretch[i])) {
            return encoders_[i].status();
        }
    }
    return {};
}

AudioStatus PartsEncoder::close() {
    for (std::size_t i = 0; i < 3; ++i) {
        if (used_[i] && !encoders_[i].close()) return encoders_[i].status();
    }
    return {};
}

AudioStatus encodeParts(const RenderedParts& parts, AudioFormat format,
                        const std::array<AudioSink*, 3>& sinks, bool withLeadIn) {
    if (parts.sampleRate != audioSampleRate(format)) {
        return AudioStatus{AudioError::encoderFailed, AudioStep::sampleRate, false, {}};
    }
    PartsEncoder encoder;
    if (AudioStatus status = encoder.open(format, sinks, parts.serials); !status) return status;
    PartsPlayer player(parts, withLeadIn);
    for (std::array<std::span<const float>, 3> stretch = player.next(); !stretch[0].empty();
         stretch = player.next()) {
        if (AudioStatus status = encoder.write(stretch); !status) return status;
    }
    return encoder.close();
}

}  // namespace kdb2mid
