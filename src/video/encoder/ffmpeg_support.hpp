// Owners for FFmpeg's objects and its error text, for this folder's files.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libswscale/swscale.h>
}

#include <filesystem>
#include <memory>
#include <string>

namespace kdb2mid::video_detail {

struct CodecContextFree {
    void operator()(AVCodecContext* context) const noexcept { avcodec_free_context(&context); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const noexcept { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const noexcept { av_packet_free(&packet); }
};
struct InputClose {
    void operator()(AVFormatContext* context) const noexcept { avformat_close_input(&context); }
};
struct ScaleFree {
    void operator()(SwsContext* context) const noexcept { sws_freeContext(context); }
};

using CodecContext = std::unique_ptr<AVCodecContext, CodecContextFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;
using InputFile = std::unique_ptr<AVFormatContext, InputClose>;
using Scaler = std::unique_ptr<SwsContext, ScaleFree>;

// A path as FFmpeg's file protocol takes it: without the prefix a name with a
// colon ("out:1/song.mp4") would be read as another protocol's URL.
inline std::string fileUrl(const std::filesystem::path& path) { return "file:" + path.string(); }

// FFmpeg's wording of an AVERROR code.
inline std::string errorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

// The frame's sizes in 4:2:0: a colour plane has half the width and height.
struct PlaneSizes {
    int width = 0;
    int height = 0;
    std::size_t luma() const noexcept {
        return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }
    std::size_t chroma() const noexcept { return luma() / 4; }
};

}  // namespace kdb2mid::video_detail
