// The module's writer: frames drawn by the canvas, sound on a thread of its
// own, both encoded into an MP4 under the caller's temporary name.
#include "video/encoder/encoder.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "video/encoder/ffmpeg_support.hpp"
#include "video/encoder/lyric_canvas.hpp"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace kdb2mid {

namespace {

using namespace video_detail;

// x264's speed and quality: its fastest preset (a karaoke picture is mostly
// still or changes in a few rows, which even that codes in a few bytes a
// frame) at the constant quality a viewer takes for the source.
constexpr const char* kPreset = "ultrafast";
constexpr const char* kQuality = "23";
// AAC at a rate where its fast coder is transparent for synthesized music;
// the default coder costs twice the time for no audible difference here.
constexpr std::int64_t kAudioBitRate = 192000;
constexpr const char* kAudioCoder = "fast";
// Sample rates an AAC stream may have.
constexpr int kLowestRate = 8000;
constexpr int kHighestRate = 96000;

VideoStatus failed(int error) { return {VideoStatus::Code::encoding, errorText(error), {}}; }

// An open MP4 being written under its temporary name, removed unless kept.
class Mp4File {
public:
    ~Mp4File() {
        if (context_ != nullptr) {
            if (context_->pb != nullptr) avio_closep(&context_->pb);
            avformat_free_context(context_);
        }
        if (!path_.empty()) {
            std::error_code ignored;
            std::filesystem::remove(path_, ignored);
        }
    }

    int create(const std::filesystem::path& path) {
        const std::string url = fileUrl(path);
        const int made = avformat_alloc_output_context2(&context_, nullptr, "mp4", url.c_str());
        if (made < 0) return made;
        path_ = path;
        return avio_open(&context_->pb, url.c_str(), AVIO_FLAG_WRITE);
    }
    AVFormatContext* get() const noexcept { return context_; }
    // Closes the file; 0 or FFmpeg's error.
    int close() { return avio_closep(&context_->pb); }
    // The file is kept under its final name from now on.
    void keep() noexcept { path_.clear(); }

private:
    AVFormatContext* context_ = nullptr;
    std::filesystem::path path_;
};

// One stream's encoder and the packets it gives to the file.
struct Encoder {
    CodecContext context;
    AVStream* stream = nullptr;

    // Sends frame (nullptr at the end) and writes every packet it gives.
    int encode(AVFormatContext* file, const AVFrame* frame, AVPacket& packet) const {
        int result = avcodec_send_frame(context.get(), frame);
        if (result < 0) return result;
        while ((result = avcodec_receive_packet(context.get(), &packet)) == 0) {
            av_packet_rescale_ts(&packet, context->time_base, stream->time_base);
            packet.stream_index = stream->index;
            result = av_interleaved_write_frame(file, &packet);
            if (result < 0) return result;
        }
        return result == AVERROR(EAGAIN) || result == AVERROR_EOF ? 0 : result;
    }
};

int openVideoEncoder(AVFormatContext* file, const VideoSettings& settings, Encoder& out) {
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (codec == nullptr) return AVERROR_ENCODER_NOT_FOUND;
    out.context.reset(avcodec_alloc_context3(codec));
    AVCodecContext* context = out.context.get();
    if (context == nullptr) return AVERROR(ENOMEM);
    context->width = settings.size.width;
    context->height = settings.size.height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    context->time_base = AVRational{1, settings.fps};
    context->framerate = AVRational{settings.fps, 1};
    context->sample_aspect_ratio = AVRational{1, 1};
    context->color_range = AVCOL_RANGE_MPEG;
    context->colorspace = AVCOL_SPC_BT709;
    context->color_primaries = AVCOL_PRI_BT709;
    context->color_trc = AVCOL_TRC_BT709;
    context->thread_count = settings.encoderThreads;
    if ((file->oformat->flags & AVFMT_GLOBALHEADER) != 0)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "preset", kPreset, 0);
    av_dict_set(&options, "crf", kQuality, 0);
    int result = avcodec_open2(context, codec, &options);
    av_dict_free(&options);
    if (result < 0) return result;
    out.stream = avformat_new_stream(file, nullptr);
    if (out.stream == nullptr) return AVERROR(ENOMEM);
    out.stream->time_base = context->time_base;
    out.stream->avg_frame_rate = context->framerate;
    return avcodec_parameters_from_context(out.stream->codecpar, context);
}

// title: the track's name in the file ("Karaoke"), or empty for a lone track.
int openAudioEncoder(AVFormatContext* file, int sampleRate, std::string_view title, bool chosen,
                     Encoder& out) {
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (codec == nullptr) return AVERROR_ENCODER_NOT_FOUND;
    out.context.reset(avcodec_alloc_context3(codec));
    AVCodecContext* context = out.context.get();
    if (context == nullptr) return AVERROR(ENOMEM);
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->sample_rate = sampleRate;
    context->bit_rate = kAudioBitRate;
    context->time_base = AVRational{1, sampleRate};
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    int result = av_channel_layout_copy(&context->ch_layout, &stereo);
    if (result < 0) return result;
    if ((file->oformat->flags & AVFMT_GLOBALHEADER) != 0)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "aac_coder", kAudioCoder, 0);
    result = avcodec_open2(context, codec, &options);
    av_dict_free(&options);
    if (result < 0) return result;
    out.stream = avformat_new_stream(file, nullptr);
    if (out.stream == nullptr) return AVERROR(ENOMEM);
    out.stream->time_base = context->time_base;
    if (!title.empty()) {
        // MP4 players read a track's name from its handler's name, others
        // from the title tag; both are set.
        const std::string name(title);
        av_dict_set(&out.stream->metadata, "title", name.c_str(), 0);
        av_dict_set(&out.stream->metadata, "handler_name", name.c_str(), 0);
        out.stream->disposition = chosen ? AV_DISPOSITION_DEFAULT : 0;
    }
    return avcodec_parameters_from_context(out.stream->codecpar, context);
}

// Encodes the sound on a thread of its own while the pictures are drawn and
// encoded; its packets wait in a short queue for the writing thread, which
// alone touches the file. The queue's bound keeps memory flat however long
// the song.
class SoundWorker {
public:
    SoundWorker(const StreamedStereo& stereo, const Encoder& encoder)
        : source_(stereo), encoder_(encoder) {}
    SoundWorker(const SoundWorker&) = delete;
    SoundWorker& operator=(const SoundWorker&) = delete;
    ~SoundWorker() {
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (thread_.joinable()) thread_.join();
    }

    std::int64_t frames() const noexcept { return static_cast<std::int64_t>(source_.samples / 2); }

    int start() {
        frame_.reset(av_frame_alloc());
        if (!frame_) return AVERROR(ENOMEM);
        const AVCodecContext& context = *encoder_.context;
        frame_->format = context.sample_fmt;
        frame_->sample_rate = context.sample_rate;
        frame_->nb_samples = context.frame_size > 0 ? context.frame_size : 1024;
        int result = av_channel_layout_copy(&frame_->ch_layout, &context.ch_layout);
        if (result >= 0) result = av_frame_get_buffer(frame_.get(), 0);
        if (result < 0) return result;
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            return AVERROR(EAGAIN);
        }
        return 0;
    }

    // Writes the sound's packets that start before until (in samples),
    // waiting for them: the file gets its packets in the same order on every
    // run, however far ahead this thread was, so the same song makes the
    // same bytes. 0 or FFmpeg's error, the encoder's or the file's.
    int write(AVFormatContext* file, std::int64_t until) {
        for (;;) {
            Packet packet;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [this] { return !ready_.empty() || finished_; });
                if (error_ < 0) return error_;
                if (ready_.empty() || ready_.front()->pts >= until) return 0;
                packet = std::move(ready_.front());
                ready_.pop_front();
            }
            changed_.notify_all();
            av_packet_rescale_ts(packet.get(), encoder_.context->time_base,
                                 encoder_.stream->time_base);
            packet->stream_index = encoder_.stream->index;
            if (const int result = av_interleaved_write_frame(file, packet.get()); result < 0)
                return result;
        }
    }

private:
    // Packets waiting for the writing thread: about 1.5 s of sound.
    static constexpr std::size_t kQueued = 64;

    void run() {
        const int result = encodeAll();
        {
            const std::lock_guard lock(mutex_);
            if (result < 0) error_ = result;
            finished_ = true;
        }
        changed_.notify_all();
    }

    int encodeAll() {
        AVCodecContext* context = encoder_.context.get();
        const std::int64_t size = frame_->nb_samples;
        for (std::int64_t position = 0; position < frames(); position += size) {
            int result = av_frame_make_writable(frame_.get());
            if (result < 0) return result;
            const std::int64_t count = std::min(size, frames() - position);
            frame_->nb_samples = static_cast<int>(count);
            auto* left = reinterpret_cast<float*>(frame_->data[0]);
            auto* right = reinterpret_cast<float*>(frame_->data[1]);
            samples_.resize(2 * static_cast<std::size_t>(count));
            source_.next(samples_);
            const float* from = samples_.data();
            for (std::int64_t i = 0; i < count; ++i) {
                left[i] = from[2 * i];
                right[i] = from[2 * i + 1];
            }
            frame_->pts = position;
            result = avcodec_send_frame(context, frame_.get());
            if (result >= 0) result = collect();
            if (result < 0) return result;
        }
        const int result = avcodec_send_frame(context, nullptr);
        return result < 0 ? result : collect();
    }

    // Queues the packets the encoder has ready; negative once stopped.
    int collect() {
        for (;;) {
            Packet packet(av_packet_alloc());
            if (!packet) return AVERROR(ENOMEM);
            const int result = avcodec_receive_packet(encoder_.context.get(), packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return 0;
            if (result < 0) return result;
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return ready_.size() < kQueued || stopping_; });
            if (stopping_) return AVERROR_EXIT;
            ready_.push_back(std::move(packet));
            lock.unlock();
            changed_.notify_all();
        }
    }

    const StreamedStereo& source_;
    std::vector<float> samples_;  // the frame's, interleaved
    const Encoder& encoder_;
    Frame frame_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Packet> ready_;
    bool finished_ = false;
    bool stopping_ = false;
    int error_ = 0;
    std::thread thread_;
};

// The file's streams, in the order players list them: the picture, then the
// sound; a split song's two sound tracks are titled, the first (the
// instrumental) the one played unless the viewer picks the other. 0 or
// FFmpeg's error.
int openStreams(AVFormatContext* format, const VideoSettings& settings,
                const KaraokeVideoInput& input, Encoder& picture, Encoder& sound, Encoder& second) {
    const bool two = input.second.samples > 0;
    const std::string_view firstTitle = two ? input.firstTitle : std::string_view{};
    int result = openVideoEncoder(format, settings, picture);
    if (result >= 0) result = openAudioEncoder(format, input.sampleRate, firstTitle, true, sound);
    if (result >= 0 && two) {
        result = openAudioEncoder(format, input.sampleRate, input.secondTitle, false, second);
    }
    return result;
}

// The one picture every frame is drawn into, 4:2:0 at the video's size, all
// of its planes' bytes zeroed: the encoder's vector code reads whole rows,
// past the picture's width. 0 or FFmpeg's error.
int makePicture(const VideoSettings& settings, Frame& frame) {
    frame.reset(av_frame_alloc());
    if (!frame) return AVERROR(ENOMEM);
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = settings.size.width;
    frame->height = settings.size.height;
    if (const int result = av_frame_get_buffer(frame.get(), 0); result < 0) return result;
    for (int plane = 0; plane < 3; ++plane) {
        const int rows = plane == 0 ? frame->height : (frame->height + 1) / 2;
        std::memset(
            frame->data[plane], 0,
            static_cast<std::size_t>(frame->linesize[plane]) * static_cast<std::size_t>(rows));
    }
    return 0;
}

VideoStatus writeStreams(const PreparedVideo& video, const KaraokeVideoInput& input,
                         const StreamedStereo& first, Mp4File& file, bool (*interrupted)(),
                         VideoStats& stats) {
    const VideoSettings& settings = video.settings;
    AVFormatContext* format = file.get();
    Encoder picture;
    Encoder sound;
    Encoder second;
    if (int result = openStreams(format, settings, input, picture, sound, second); result < 0) {
        return failed(result);
    }
    LyricCanvas canvas;
    if (!canvas.open(input.assDocument, settings.size.width, settings.size.height,
                     video.background)) {
        return {VideoStatus::Code::subtitles, {}, {}};
    }
    Frame frame;
    if (int result = makePicture(settings, frame); result < 0) return failed(result);
    Packet packet(av_packet_alloc());
    if (!packet) return failed(AVERROR(ENOMEM));
    SoundWorker feed(first, sound);
    // The second track is encoded on a thread of its own the same way.
    std::optional<SoundWorker> secondFeed;
    if (input.second.samples > 0) secondFeed.emplace(input.second, second);
    // Each track's packets up to the time given, in samples; the two tracks
    // share their clock.
    const auto writeSound = [&](std::int64_t until) {
        int written = feed.write(format, until);
        if (written >= 0 && secondFeed) written = secondFeed->write(format, until);
        return written;
    };

    AVDictionary* options = nullptr;
    av_dict_set(&options, "movflags", "+faststart", 0);
    int result = avformat_write_header(format, &options);
    av_dict_free(&options);
    if (result >= 0) result = feed.start();
    if (result >= 0 && secondFeed) result = secondFeed->start();
    if (result < 0) return failed(result);

    // As many frames as cover the sound.
    const std::int64_t rate = input.sampleRate;
    const std::int64_t frames = (feed.frames() * settings.fps + rate - 1) / rate;
    for (std::int64_t index = 0; index < frames; ++index) {
        if (interrupted()) return {VideoStatus::Code::interrupted, {}, {}};
        result = writeSound(index * rate / settings.fps);
        if (result < 0) return failed(result);
        // The encoder may still hold the last frame; then it gets a copy.
        result = av_frame_make_writable(frame.get());
        if (result < 0) return failed(result);
        if (canvas.draw(index * 1000 / settings.fps, *frame)) ++stats.redrawn;
        frame->pts = index;
        result = picture.encode(format, frame.get(), *packet);
        if (result < 0) return failed(result);
        ++stats.frames;
        if (input.progress && (index + 1) % settings.fps == 0) {
            input.progress(static_cast<double>(index + 1) / settings.fps);
        }
    }
    result = picture.encode(format, nullptr, *packet);
    if (result >= 0) result = writeSound(std::numeric_limits<std::int64_t>::max());
    // Writes the index and moves it to the front, reading the file back.
    if (result >= 0) result = av_write_trailer(format);
    if (result < 0) return failed(result);
    return {};
}

}  // namespace

VideoStatus encodeVideo(const PreparedVideo& video, const KaraokeVideoInput& input,
                        const std::filesystem::path& output, const std::filesystem::path& temporary,
                        bool (*interrupted)(), VideoStats* stats) {
    VideoStats counted;
    VideoStats& made = stats != nullptr ? *stats : counted;
    made = {};
    // A song given whole is handed over in order like a streamed one.
    StreamedStereo first = input.streamed;
    if (!input.interleavedStereo.empty()) {
        first.samples = input.interleavedStereo.size();
        first.next = [whole = input.interleavedStereo,
                      at = std::size_t{0}](std::span<float> out) mutable {
            const std::size_t count = std::min(out.size(), whole.size() - at);
            std::copy_n(whole.begin() + static_cast<std::ptrdiff_t>(at), count, out.begin());
            std::fill(out.begin() + static_cast<std::ptrdiff_t>(count), out.end(), 0.0f);
            at += count;
        };
    }
    const StreamedStereo& second = input.second;
    if (first.samples < 2 || first.samples % 2 != 0 || !first.next ||
        (second.samples > 0 && (second.samples != first.samples || !second.next)) ||
        input.sampleRate < kLowestRate || input.sampleRate > kHighestRate) {
        return {VideoStatus::Code::noAudio, {}, {}};
    }
    Mp4File file;
    if (const int result = file.create(temporary); result < 0) {
        const int error = result > -0x10000 ? AVUNERROR(result) : EIO;
        return {VideoStatus::Code::output, {}, {OutputFailure::Step::open, error}};
    }
    VideoStatus status = writeStreams(video, input, first, file, interrupted, made);
    if (!status.ok()) {
        if (status.code == VideoStatus::Code::encoding && file.get()->pb != nullptr &&
            file.get()->pb->error < 0 && file.get()->pb->error > -0x10000) {
            // The file refused a write (no space left, ...): say so, not the encoder.
            return {VideoStatus::Code::output,
                    {},
                    {OutputFailure::Step::write, AVUNERROR(file.get()->pb->error)}};
        }
        return status;
    }
    if (const int result = file.close(); result < 0) {
        return {VideoStatus::Code::output,
                {},
                {OutputFailure::Step::write, result > -0x10000 ? AVUNERROR(result) : EIO}};
    }
    if (interrupted()) return {VideoStatus::Code::interrupted, {}, {}};
    std::error_code error;
    std::filesystem::rename(temporary, output, error);
    if (error) return {VideoStatus::Code::output, {}, {OutputFailure::Step::place, error.value()}};
    file.keep();
    return {};
}

}  // namespace kdb2mid
