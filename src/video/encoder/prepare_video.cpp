// The parts every video of a run shares: the encoders are there, and the
// background picture is read and scaled once.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "video/encoder/encoder.hpp"
#include "video/encoder/ffmpeg_support.hpp"
#include "video/yuv_colour.hpp"

extern "C" {
#include <libavutil/imgutils.h>
}

namespace kdb2mid {

namespace {

using namespace video_detail;

// Picture codecs a background may be stored in. A video file or anything
// else FFmpeg happens to open (its text-art reader takes any .txt) is not a
// picture.
bool isPictureCodec(AVCodecID codec) {
    switch (codec) {
        case AV_CODEC_ID_PNG:
        case AV_CODEC_ID_MJPEG:
        case AV_CODEC_ID_BMP:
        case AV_CODEC_ID_WEBP:
        case AV_CODEC_ID_TIFF:
        case AV_CODEC_ID_GIF: return true;
        default: return false;
    }
}

// Packets read while looking for the first picture of the file.
constexpr int kPacketsToFirstPicture = 64;

void fill(std::vector<std::uint8_t>& picture, PlaneSizes sizes, Yuv colour) {
    picture.assign(sizes.luma() + 2 * sizes.chroma(), colour.y);
    std::fill_n(picture.begin() + static_cast<std::ptrdiff_t>(sizes.luma()), sizes.chroma(),
                colour.u);
    std::fill_n(picture.begin() + static_cast<std::ptrdiff_t>(sizes.luma() + sizes.chroma()),
                sizes.chroma(), colour.v);
}

VideoStatus notPicture(VideoStatus::Picture why = VideoStatus::Picture::unknown) {
    return {VideoStatus::Code::backgroundNotImage, {}, {}, why};
}

// The first picture of the file at path, decoded.
VideoStatus decodePicture(const std::filesystem::path& path, Frame& picture) {
    std::error_code error;
    const std::filesystem::file_status kind = std::filesystem::status(path, error);
    if (!std::filesystem::exists(kind)) {
        return {VideoStatus::Code::backgroundMissing, errorText(AVERROR(ENOENT)), {}};
    }
    // A folder or a device holds no picture (and a FIFO could block forever).
    if (!std::filesystem::is_regular_file(kind)) return notPicture();
    AVFormatContext* opened = nullptr;
    // Local files only: whatever the file holds, FFmpeg opens nothing else
    // on its behalf (a playlist's URLs, say).
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    const int openError = avformat_open_input(&opened, fileUrl(path).c_str(), nullptr, &options);
    av_dict_free(&options);
    InputFile input(opened);
    if (openError < 0) {
        // Errors of the system (no such file, no permission) say the file is
        // not there to read; FFmpeg's own say it is no picture it knows.
        const bool system = openError > -0x10000 && openError != AVERROR_INVALIDDATA;
        if (!system) return notPicture();
        return {VideoStatus::Code::backgroundMissing, errorText(openError), {}};
    }
    if (avformat_find_stream_info(input.get(), nullptr) < 0) return notPicture();
    const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0) return notPicture();
    const AVCodecParameters* parameters = input->streams[stream]->codecpar;
    if (!isPictureCodec(parameters->codec_id)) return notPicture();
    if (parameters->width > kLargestPictureSide || parameters->height > kLargestPictureSide) {
        return notPicture(VideoStatus::Picture::tooLarge);
    }
    const AVCodec* decoder = avcodec_find_decoder(parameters->codec_id);
    if (decoder == nullptr) return notPicture();
    CodecContext context(avcodec_alloc_context3(decoder));
    if (!context || avcodec_parameters_to_context(context.get(), parameters) < 0 ||
        avcodec_open2(context.get(), decoder, nullptr) < 0) {
        return notPicture();
    }
    Packet packet(av_packet_alloc());
    picture.reset(av_frame_alloc());
    if (!packet || !picture) return {VideoStatus::Code::encoding, errorText(AVERROR(ENOMEM)), {}};
    for (int read = 0; read < kPacketsToFirstPicture; ++read) {
        const bool more = av_read_frame(input.get(), packet.get()) >= 0;
        if (more && packet->stream_index != stream) {
            av_packet_unref(packet.get());
            continue;
        }
        const int sent = avcodec_send_packet(context.get(), more ? packet.get() : nullptr);
        av_packet_unref(packet.get());
        if (sent < 0 && sent != AVERROR(EAGAIN)) break;
        if (avcodec_receive_frame(context.get(), picture.get()) == 0) {
            if (picture->width > 0 && picture->height > 0) return {};
            break;
        }
        if (!more) break;
    }
    return notPicture();
}

// picture scaled to fit the frame, centred, into background (already black).
VideoStatus placePicture(const AVFrame& picture, PlaneSizes frame,
                         std::vector<std::uint8_t>& background) {
    const double scale = std::min(static_cast<double>(frame.width) / picture.width,
                                  static_cast<double>(frame.height) / picture.height);
    // Even sizes and offsets keep the colour planes aligned with the picture.
    const auto even = [](double value) { return std::max(2, static_cast<int>(value) / 2 * 2); };
    const int width = std::min(frame.width, even(picture.width * scale));
    const int height = std::min(frame.height, even(picture.height * scale));
    const int left = (frame.width - width) / 4 * 2;
    const int top = (frame.height - height) / 4 * 2;

    Scaler scaler(sws_getContext(picture.width, picture.height,
                                 static_cast<AVPixelFormat>(picture.format), width, height,
                                 AV_PIX_FMT_YUV420P, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler) return notPicture(VideoStatus::Picture::pixelFormat);
    // Pictures carry BT.601 colours (JPEG in full range, which the scaler
    // knows from the format); the video is BT.709 in limited range.
    int* sourceTable = nullptr;
    int* targetTable = nullptr;
    int sourceRange = 0;
    int targetRange = 0;
    int brightness = 0;
    int contrast = 0;
    int saturation = 0;
    sws_getColorspaceDetails(scaler.get(), &sourceTable, &sourceRange, &targetTable, &targetRange,
                             &brightness, &contrast, &saturation);
    sws_setColorspaceDetails(scaler.get(), sws_getCoefficients(SWS_CS_DEFAULT), sourceRange,
                             sws_getCoefficients(SWS_CS_ITU709), 0, brightness, contrast,
                             saturation);

    std::uint8_t* const planes[4] = {
        background.data() + static_cast<std::size_t>(top) * static_cast<std::size_t>(frame.width) +
            static_cast<std::size_t>(left),
        background.data() + frame.luma() +
            static_cast<std::size_t>(top / 2) * static_cast<std::size_t>(frame.width / 2) +
            static_cast<std::size_t>(left / 2),
        background.data() + frame.luma() + frame.chroma() +
            static_cast<std::size_t>(top / 2) * static_cast<std::size_t>(frame.width / 2) +
            static_cast<std::size_t>(left / 2),
        nullptr};
    const int strides[4] = {frame.width, frame.width / 2, frame.width / 2, 0};
    if (sws_scale(scaler.get(), picture.data, picture.linesize, 0, picture.height, planes,
                  strides) != height) {
        return notPicture(VideoStatus::Picture::notScaled);
    }
    return {};
}

}  // namespace

VideoStatus prepareEncoder(const VideoSettings& settings, PreparedVideo& out) {
    // FFmpeg would print its warnings and its encoders' statistics to
    // standard error; failures come back as values and the command line
    // words them.
    av_log_set_level(AV_LOG_QUIET);
    if (avcodec_find_encoder_by_name("libx264") == nullptr) {
        return {VideoStatus::Code::missingEncoder, "libx264", {}};
    }
    if (avcodec_find_encoder(AV_CODEC_ID_AAC) == nullptr) {
        return {VideoStatus::Code::missingEncoder, "aac", {}};
    }
    if (av_guess_format("mp4", nullptr, nullptr) == nullptr) {
        return {VideoStatus::Code::missingEncoder, "mp4", {}};
    }
    out.settings = settings;
    const PlaneSizes frame{settings.size.width, settings.size.height};
    if (settings.background.image.empty()) {
        fill(out.background, frame, toYuv(settings.background.colour));
        return {};
    }
    fill(out.background, frame, toYuv(Rgb{}));
    Frame picture;
    VideoStatus status = decodePicture(settings.background.image, picture);
    if (status.ok()) status = placePicture(*picture, frame, out.background);
    return status;
}

}  // namespace kdb2mid
