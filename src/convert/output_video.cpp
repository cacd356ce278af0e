// SONG.mp4: the song's ASS lyrics, the same document --ass writes beside it,
// drawn over the background with the song's rendered audio (video/); both
// start after the pictures' lead-in, so the title screen has its time.
#ifdef KDB2MID_HAVE_VIDEO

#include "convert/convert_run.hpp"
#include "convert/outputs.hpp"
#include "messages/output_settings_help.hpp"
#include "messages/batch_messages.hpp"
#include "messages/video_messages.hpp"

namespace kdb2mid {

namespace {

// The names players list the two sound tracks of a split song's video by.
constexpr std::string_view kKaraokeTrackTitle = "Karaoke";
constexpr std::string_view kGuideTrackTitle = "Guide melody";

// The run's prepared video, or this thread's own made from the settings.
const PreparedVideo* preparedVideo(SongContext& song) {
    if (song.options.video) return song.options.video.get();
    if (!song.work.video) {
        auto video = std::make_shared<PreparedVideo>();
        const VideoStatus status = prepareVideo(song.options.videoSettings, *video);
        if (!status.ok()) {
            song.result.fail(videoFailure(song.number, song.file(".mp4"), status,
                                          song.options.videoSettings.background.image));
            return nullptr;
        }
        song.work.video = std::move(video);
    }
    return song.work.video.get();
}

bool writeVideo(SongContext& song, std::span<const std::filesystem::path> files) {
    const PreparedVideo* video = preparedVideo(song);
    if (video == nullptr) return true;
    KaraokeVideoInput input{song.products.assDocument(), {}, 0, {}};
    double seconds = 0.0;
    // Split: the instrumental first, played unless the viewer picks the
    // full song with its guide melody; each made from the parts as it is
    // encoded, both after the same lead-in.
    std::optional<PartReader> first;
    std::optional<PartReader> second;
    if (song.splitsMelody()) {
        const RenderedParts* parts = song.products.parts();
        if (parts == nullptr) return true;
        first.emplace(*parts, Part::instrumental, true);
        second.emplace(*parts, Part::full, true);
        const std::size_t samples = static_cast<std::size_t>(parts->frames()) * kAudioChannels;
        input.streamed = {samples, [&](std::span<float> out) { first->read(out); }};
        input.second = {samples, [&](std::span<float> out) { second->read(out); }};
        input.sampleRate = parts->sampleRate;
        input.firstTitle = kKaraokeTrackTitle;
        input.secondTitle = kGuideTrackTitle;
        seconds = parts->seconds();
    } else {
        const RenderedAudio* audio = song.products.audio();
        if (audio == nullptr) return true;
        input.interleavedStereo = audio->samples;
        input.sampleRate = audio->sampleRate;
        seconds = audio->seconds();
    }
    const VideoStatus status = writeKaraokeVideo(*video, input, files[0]);
    if (!status.ok()) {
        song.result.fail(videoFailure(song.number, files[0], status));
        return true;
    }
    song.result.secondsMade[outputIndex(Output::video)] += seconds;
    return true;
}

std::string takeVideoSize(std::string_view text, ConvertOptions& options) {
    const std::optional<VideoSize> parsed = parseVideoSize(text);
    if (!parsed) return videoSizeRefused(text);
    options.videoSettings.size = *parsed;
    return {};
}

std::string takeBackground(std::string_view text, ConvertOptions& options) {
    std::optional<Background> parsed = parseBackground(text);
    if (!parsed) return backgroundRefused(text);
    if (!parsed->image.empty()) parsed->image = pathFromUtf8(text);
    options.videoSettings.background = std::move(*parsed);
    return {};
}

// Each video's encoder threads, whatever -j and the machine's cores: the
// encoder writes its thread count into every file, so a count that followed
// either would make the same song's video differ between runs and machines.
// Two keep a batch's last song, alone, from leaving a core idle; drawing the
// frames and encoding the sound take threads of their own.
constexpr int kVideoEncoderThreads = 2;

// Checks the encoders and reads the background once, for every thread.
std::optional<RunRefusal> prepareVideoOnce(PreparedRun& run) {
    VideoSettings& settings = run.options.videoSettings;
    settings.encoderThreads = kVideoEncoderThreads;
    auto video = std::make_shared<PreparedVideo>();
    const VideoStatus status = prepareVideo(settings, *video);
    if (!status.ok()) return RunRefusal{videoSetupFailure(status, settings.background.image), true};
    run.options.video = std::move(video);
    return std::nullopt;
}

}  // namespace

OutputRow videoOutput() {
    OutputRow row;
    row.id = Output::video;
    row.option = "--video";
    row.help =
        "Also write SONG.mp4: the --ass lyrics over a background with the song's "
        "audio (H.264 and AAC)";
    row.needs.lyrics = true;
    row.needs.renderedAudio = true;
    row.needs.pictures = true;
    row.needs.subtitles = true;
    // Encoding is slower than rendering: the video sets the pace.
    row.progressUnit = kVideoMade;
    row.pace = 2;
    row.endings = [](const ConvertOptions&) { return std::vector<std::string>{".mp4"}; };
    row.write = writeVideo;
    const VideoSize size;
    row.settings = {
        {"--video-size", "WIDTHxHEIGHT",
         help::videoSize({kVideoMinWidth, kVideoMinHeight}, {kVideoMaxWidth, kVideoMaxHeight},
                         {size.width, size.height}),
         takeVideoSize},
        {"--background", "COLOUR|FILE", help::kBackground, takeBackground},
    };
    row.settingUnused = needsVideo;
    row.prepare = prepareVideoOnce;
    return row;
}

}  // namespace kdb2mid

#endif  // KDB2MID_HAVE_VIDEO
