#include "audio/audio_sink.hpp"

#include <algorithm>
#include <limits>

namespace kdb2mid {

bool MemoryAudioSink::write(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > std::numeric_limits<std::size_t>::max() - position_) return false;
    const std::size_t start = static_cast<std::size_t>(position_);
    const std::size_t end = start + bytes.size();
    if (end > bytes_.size()) bytes_.resize(end);
    std::copy(bytes.begin(), bytes.end(), bytes_.begin() + static_cast<std::ptrdiff_t>(start));
    position_ = end;
    return true;
}

bool MemoryAudioSink::seek(std::uint64_t offset) {
    if (offset > std::numeric_limits<std::size_t>::max()) return false;
    position_ = offset;
    return true;
}

}  // namespace kdb2mid
