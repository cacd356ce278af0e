#include "audio/audio_encoder.hpp"

#include <sndfile.h>

#include <cstdint>
#include <limits>

namespace kdb2mid {

// libsndfile's virtual I/O over the sink. The encoder writes only; a read
// finds nothing.
struct EncoderIo {
    static AudioEncoder& of(void* user) { return *static_cast<AudioEncoder*>(user); }

    static sf_count_t length(void* user) {
        return static_cast<sf_count_t>(of(user).sink_->length());
    }

    static sf_count_t seek(sf_count_t offset, int whence, void* user) {
        AudioSink& sink = *of(user).sink_;
        sf_count_t base = 0;
        if (whence == SEEK_CUR) base = static_cast<sf_count_t>(sink.tell());
        if (whence == SEEK_END) base = static_cast<sf_count_t>(sink.length());
        if (offset < -base || offset > std::numeric_limits<sf_count_t>::max() - base) return -1;
        const sf_count_t target = base + offset;
        if (!sink.seek(static_cast<std::uint64_t>(target))) {
            of(user).sinkFailed_ = true;
            return -1;
        }
        return target;
    }

    static sf_count_t read(void*, sf_count_t, void*) { return 0; }

    static sf_count_t write(const void* data, sf_count_t count, void* user) {
        AudioEncoder& encoder = of(user);
        if (count <= 0) return 0;
        const std::span bytes(static_cast<const std::uint8_t*>(data),
                              static_cast<std::size_t>(count));
        if (encoder.sinkFailed_ || !encoder.sink_->write(bytes)) {
            encoder.sinkFailed_ = true;
            return 0;
        }
        return count;
    }

    static sf_count_t tell(void* user) { return static_cast<sf_count_t>(of(user).sink_->tell()); }
};

namespace {

SF_VIRTUAL_IO virtualIo{EncoderIo::length, EncoderIo::seek, EncoderIo::read, EncoderIo::write,
                        EncoderIo::tell};

// Sets the quality of the lossy formats and the effort of FLAC's; must come
// before the first frame.
bool setQuality(SNDFILE* file, AudioFormat format, EncodingEffort effort) {
    switch (format) {
        case AudioFormat::ogg: {
            double quality = kVorbisQuality;
            return sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality) ==
                   SF_TRUE;
        }
        case AudioFormat::mp3: {
            // At 32 kHz and above libsndfile asks LAME for 320 - level * 288
            // kbit/s, truncated; half a kbit/s keeps the truncation on the
            // rate wanted. Setting the mode applies the level again, so the
            // level goes first.
            double level = (320.0 - kMp3KilobitsPerSecond - 0.5) / 288.0;
            int mode = SF_BITRATE_MODE_CONSTANT;
            return sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) == SF_TRUE &&
                   sf_command(file, SFC_SET_BITRATE_MODE, &mode, sizeof mode) == SF_TRUE;
        }
        case AudioFormat::flac: {
            if (effort == EncodingEffort::standard) return true;
            double level = kQuickFlacLevel;
            return sf_command(file, SFC_SET_COMPRESSION_LEVEL, &level, sizeof level) == SF_TRUE;
        }
        case AudioFormat::wav:
        case AudioFormat::opus: return true;
    }
    return true;
}

}  // namespace

AudioEncoder::~AudioEncoder() {
    if (file_ != nullptr) sf_close(file_);
}

bool AudioEncoder::fail(AudioStep step, const char* reason) {
    if (!status_) return false;
    status_.error = AudioError::encoderFailed;
    status_.step = step;
    status_.outputFailed = sinkFailed_;
    if (!sinkFailed_ && reason != nullptr) status_.detail = reason;
    return false;
}

bool AudioEncoder::open(AudioFormat format, AudioSink& sink, std::uint32_t streamSerial,
                        EncodingEffort effort) {
    if (file_ != nullptr) {
        sf_close(file_);
        file_ = nullptr;
    }
    ogg_.reset();
    sink_ = &sink;
    if (format == AudioFormat::ogg || format == AudioFormat::opus) {
        sink_ = &ogg_.emplace(sink, streamSerial);
    }
    sinkFailed_ = false;
    status_ = {};
    if (!audioFormatSupported(format)) {
        status_ = {AudioError::formatUnsupported, AudioStep::formatUnwritable, false, {}};
        return false;
    }
    SF_INFO info{};
    info.samplerate = audioSampleRate(format);
    info.channels = kAudioChannels;
    info.format = sndfileFormat(format);
    file_ = sf_open_virtual(&virtualIo, SFM_WRITE, &info, this);
    if (file_ == nullptr) return fail(AudioStep::startFile, sf_strerror(file_));
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    if (!setQuality(file_, format, effort)) return fail(AudioStep::setQuality, sf_strerror(file_));
    return true;
}

bool AudioEncoder::write(std::span<const float> interleaved) {
    if (file_ == nullptr || !status_) return false;
    const auto frames = static_cast<sf_count_t>(interleaved.size() / kAudioChannels);
    if (sf_writef_float(file_, interleaved.data(), frames) != frames || sinkFailed_) {
        return fail(AudioStep::encode, sf_strerror(file_));
    }
    return true;
}

bool AudioEncoder::close() {
    if (file_ == nullptr) return false;
    const int status = sf_close(file_);
    file_ = nullptr;
    if (ogg_ && !ogg_->finish()) sinkFailed_ = true;
    if (!status_) return false;
    if (status != 0 || sinkFailed_) return fail(AudioStep::finishFile, sf_error_number(status));
    return true;
}

}  // namespace kdb2mid
