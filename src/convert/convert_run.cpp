#include "convert/convert_run.hpp"

#include <system_error>
#include <utility>

#include "convert/file_names.hpp"
#include "convert/outputs.hpp"
#include "io/file_io.hpp"
#include "messages/messages.hpp"
#ifdef KDB2MID_HAVE_AUDIO
#include "audio/loudness.hpp"
#include "audio/song_renderer.hpp"
#endif
#ifdef KDB2MID_HAVE_VIDEO
#include "messages/video_messages.hpp"
#endif

namespace kdb2mid {

namespace {

#if defined(KDB2MID_HAVE_AUDIO) || defined(KDB2MID_HAVE_VIDEO)
std::filesystem::path pathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}
#endif

#ifdef KDB2MID_HAVE_AUDIO
std::string takeSoundSettings(ConvertRequest& request, const SettingTexts& texts) {
    ConvertOptions& options = request.options;
    if (const auto unused =
            unusedSoundOption(options, texts.soundFont != nullptr, texts.loudness != nullptr)) {
        return *unused;
    }
    if (options.muteMelody && options.outputs.has(Output::stems)) {
        return partsWithMutedMelody(outputRow(Output::stems).option, "--mute-melody");
    }
    // An MP3+G pair's sound is an MP3, which an Opus run does not write.
    for (const Output pair : {Output::cdg, Output::cdgZip}) {
        if (!options.outputs.has(pair)) continue;
        const bool opus =
            options.outputs.has(Output::audio) && options.audioFormat == AudioFormat::opus;
        if (opus || !audioFormatSupported(AudioFormat::mp3)) {
            return mp3gUnavailable(outputRow(pair).option, opus);
        }
    }
    if (texts.soundFont != nullptr) request.soundFont = pathFromUtf8(*texts.soundFont);
    if (texts.loudness != nullptr && !parseLoudness(*texts.loudness, options.loudness)) {
        return loudnessRefused(*texts.loudness, kMinLoudness, kMaxLoudness);
    }
    return {};
}

// Loads the soundfont once, before any song: a run of hours must not fail on
// its first song for want of one.
std::optional<RunRefusal> loadSoundFont(const ConvertRequest& request, PreparedRun& run) {
    const std::filesystem::path soundFont =
        request.soundFont.empty() ? std::filesystem::path(kDefaultSoundFont) : request.soundFont;
    std::error_code error;
    if (request.soundFont.empty() && !std::filesystem::exists(soundFont, error)) {
        return RunRefusal{noDefaultSoundFont(), true};
    }
    AudioStatus status;
    RenderSettings settings;
    settings.format = request.options.audioFormat;
    std::unique_ptr<SongRenderer> holder = SongRenderer::open(soundFont, settings, status);
    if (!holder) return RunRefusal{soundFontRefused(soundFont, status), true};
    run.soundFont = std::move(holder);
    run.options.soundFont = soundFont;
    return std::nullopt;
}
#endif

#ifdef KDB2MID_HAVE_VIDEO
std::string takeVideoSettings(ConvertOptions& options, const SettingTexts& texts) {
    if (!options.outputs.has(Output::video)) {
        if (texts.videoSize != nullptr) return needsVideo("--video-size");
        if (texts.background != nullptr) return needsVideo("--background");
        return {};
    }
    if (texts.videoSize != nullptr) {
        const std::optional<VideoSize> parsed = parseVideoSize(*texts.videoSize);
        if (!parsed) return videoSizeRefused(*texts.videoSize);
        options.videoSettings.size = *parsed;
    }
    if (texts.background != nullptr) {
        std::optional<Background> parsed = parseBackground(*texts.background);
        if (!parsed) return backgroundRefused(*texts.background);
        if (!parsed->image.empty()) parsed->image = pathFromUtf8(*texts.background);
        options.videoSettings.background = std::move(*parsed);
    }
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
#endif

}  // namespace

ConvertOptions convertOptionsFor(const std::string* lyrics, bool karaoke) {
    std::optional<LyricText> requested;
    if (lyrics != nullptr) requested = *lyrics == "utf8" ? LyricText::utf8 : LyricText::stored;
    ConvertOptions options;
    if (karaoke) options.outputs.add(Output::karaoke);
    options.lyrics = chosenLyricText(requested, karaoke);
    return options;
}

std::string takeSettings([[maybe_unused]] ConvertRequest& request,
                         [[maybe_unused]] const SettingTexts& texts) {
    if (std::optional<std::string> missing = changedOutputMissing(request.options)) return *missing;
#ifdef KDB2MID_HAVE_AUDIO
    if (std::string refused = takeSoundSettings(request, texts); !refused.empty()) return refused;
#endif
#ifdef KDB2MID_HAVE_VIDEO
    if (std::string refused = takeVideoSettings(request.options, texts); !refused.empty()) {
        return refused;
    }
#endif
    return {};
}

std::optional<RunRefusal> prepareRun(const ConvertRequest& request, PreparedRun& run) {
    run.options = request.options;
#ifdef KDB2MID_HAVE_AUDIO
    if (run.options.wantsAudio()) {
        if (auto refused = loadSoundFont(request, run)) return refused;
    }
#endif
#ifdef KDB2MID_HAVE_VIDEO
    if (run.options.outputs.has(Output::video)) {
        if (auto refused = prepareVideoOnce(run)) return refused;
    }
#endif
    if (const auto error = run.database.open(request.databaseFolder);
        error != SongDatabase::OpenError::none) {
        return RunRefusal{databaseOpenFailure(error, request.databaseFolder)};
    }
    if (const int error = createFolder(request.outputFolder); error != 0) {
        return RunRefusal{cannotCreateFolder(request.outputFolder, error)};
    }
    // What an earlier run, killed while writing here, left under temporary names.
    removeStaleTemporaries(request.outputFolder);

    run.plan = planSongs(request, run.database.firstSong(), run.database.songCount());
    if (request.shard || !request.namePattern.empty()) listRunSongs(run.plan, run.database);
    // Names are told apart over the whole run, before a shard takes its
    // songs: two songs of one title in different shards must not both get
    // the plain name, or the shards together would not write one run's files.
    if (!request.namePattern.empty()) {
        run.options.fileStems =
            nameSongFiles(run.database, run.plan.songs, request.namePattern, run.options);
    }
    if (request.shard) run.plan.songs = shardSongs(run.plan.songs, *request.shard);
    if (run.plan.outsideIndex > 0) {
        run.notices.push_back(
            songsOutsideIndex(request.range->first, request.range->last, run.plan.outsideIndex));
    }
    return std::nullopt;
}

CommandReport convertSongHere(std::int32_t songNumber) {
    SongDatabase database;
    if (const auto error = database.open({}); error != SongDatabase::OpenError::none) {
        return {{databaseOpenFailure(error)}, {}, true};
    }
    removeStaleTemporaries({});
    ConvertWorkspace work;
    SongResult result = convertSong(database, songNumber, {}, ConvertOptions{}, work);
    return {std::move(result.messages), {}, result.outcome != SongResult::Outcome::converted};
}

}  // namespace kdb2mid
