#include "audio/audio_format.hpp"

#include <sndfile.h>

#include <vector>

#ifndef KDB2MID_HAVE_MP3
#define KDB2MID_HAVE_MP3 0
#endif

namespace kdb2mid {

std::optional<AudioFormat> parseAudioFormat(std::string_view name) noexcept {
    for (AudioFormat format : kAudioFormats) {
        if (name == audioFormatName(format)) return format;
    }
    return std::nullopt;
}

const char* audioFormatName(AudioFormat format) noexcept {
    switch (format) {
        case AudioFormat::wav: return "wav";
        case AudioFormat::flac: return "flac";
        case AudioFormat::ogg: return "ogg";
        case AudioFormat::opus: return "opus";
        case AudioFormat::mp3: return "mp3";
    }
    return "wav";
}

int audioSampleRate(AudioFormat format) noexcept {
    return format == AudioFormat::opus ? kOpusSampleRate : kAudioSampleRate;
}

int sndfileFormat(AudioFormat format) noexcept {
    switch (format) {
        case AudioFormat::wav: return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        case AudioFormat::flac: return SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        case AudioFormat::ogg: return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
        case AudioFormat::opus: return SF_FORMAT_OGG | SF_FORMAT_OPUS;
        case AudioFormat::mp3: return SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    }
    return SF_FORMAT_WAV | SF_FORMAT_PCM_16;
}

bool audioFormatSupported(AudioFormat format) noexcept {
    if (format == AudioFormat::mp3 && !KDB2MID_HAVE_MP3) return false;
    SF_INFO info{};
    info.samplerate = audioSampleRate(format);
    info.channels = kAudioChannels;
    info.format = sndfileFormat(format);
    return sf_format_check(&info) != 0;
}

std::string supportedAudioFormatList() {
    std::vector<const char*> names;
    for (AudioFormat format : kAudioFormats) {
        if (audioFormatSupported(format)) names.push_back(audioFormatName(format));
    }
    std::string list;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) list += i + 1 == names.size() ? " or " : ", ";
        list += names[i];
    }
    return list;
}

}  // namespace kdb2mid
