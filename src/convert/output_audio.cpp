// SONG.<format>: the song played through the synthesizer (audio/), rendered
// by the song's products (song_products.hpp) with every other output that
// needs its sound.
#ifdef KDB2MID_HAVE_AUDIO

#include <cctype>

#include <system_error>

#include "audio/audio_format.hpp"
#include "audio/loudness.hpp"
#include "audio/song_renderer.hpp"
#include "convert/convert_run.hpp"
#include "convert/outputs.hpp"
#include "messages/output_settings_help.hpp"
#include "messages/batch_messages.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

// SONG.<format> (its ending) whenever --audio asks for it, --ultrastar or
// not: the option writes what its help says, and the game folder's copy
// (the same bytes, from the same render) stays with the game when the
// folder is moved. A split song's instrumental and guide melody go beside
// it (--stems).
void planAudio(SongContext& song, std::vector<std::filesystem::path>& files) {
    addPartFiles(song, files);
}

bool writeAudio(SongContext& song, std::span<const std::filesystem::path> files) {
    song.products.writeAudio(files[0]);
    return true;
}

std::string takeAudioFormat(std::string_view value, ConvertOptions& options) {
    std::string name(value);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::optional<AudioFormat> format = parseAudioFormat(name);
    if (!format || !audioFormatSupported(*format)) {
        return audioFormatUnsupported(name, supportedAudioFormatList());
    }
    options.audioFormat = *format;
    return {};
}

// The sound settings serve every output that renders sound.
std::string soundSettingUnused(std::string_view option) {
    std::vector<std::string_view> sounding;
    for (const OutputRow& row : outputTable()) {
        if (row.needs.renderedAudio && !row.option.empty()) sounding.push_back(row.option);
    }
    return soundOptionUnused(option, sounding);
}

std::string takeSoundFont(std::string_view text, ConvertOptions& options) {
    options.soundFont = pathFromUtf8(text);
    return {};
}

std::string takeLoudness(std::string_view text, ConvertOptions& options) {
    if (parseLoudness(std::string(text), options.loudness)) return {};
    return loudnessRefused(text, kMinLoudness, kMaxLoudness);
}

std::string takeMuteMelody(std::string_view, ConvertOptions& options) {
    options.muteMelody = true;
    return {};
}

// Loads the soundfont once, before any song: a run of hours must not fail on
// its first song for want of one. The run holds its samples, so that every
// thread's synthesizer shares them instead of loading its own.
std::optional<RunRefusal> loadSoundFont(PreparedRun& run) {
    const bool given = !run.options.soundFont.empty();
    const std::filesystem::path soundFont =
        given ? run.options.soundFont : std::filesystem::path(kDefaultSoundFont);
    std::error_code error;
    if (!given && !std::filesystem::exists(soundFont, error)) {
        return RunRefusal{noDefaultSoundFont(), true};
    }
    AudioStatus status;
    RenderSettings settings;
    settings.format = run.options.audioFormat;
    std::unique_ptr<SongRenderer> holder = SongRenderer::open(soundFont, settings, status);
    if (!holder) return RunRefusal{soundFontRefused(soundFont, status), true};
    run.held.push_back(std::move(holder));
    run.options.soundFont = soundFont;
    return std::nullopt;
}

std::vector<OutputSetting> soundSettings() {
    return {
        {"--soundfont", "FILE", help::soundFont(kDefaultSoundFont), takeSoundFont},
        {"--loudness", "LUFS|off",
         help::loudness(kMinLoudness, kMaxLoudness, kTruePeakCeiling, kDefaultLoudness),
         takeLoudness},
        {"--mute-melody", "", help::kMuteMelody, takeMuteMelody},
    };
}

}  // namespace

OutputRow audioOutput() {
    OutputRow row;
    row.id = Output::audio;
    row.option = "--audio";
    row.valueName = "FORMAT";
    for (const AudioFormat format : kAudioFormats) row.choices.emplace_back(audioFormatName(format));
    row.help = audioOptionHelp();
    row.needs.renderedAudio = true;
    // Every output's rendered sound counts here (SongProducts).
    row.progressUnit = kAudioMade;
    row.pace = 1;
    row.plan = planAudio;
    row.endings = [](const ConvertOptions& options) {
        return std::vector<std::string>{std::string(".") + audioFormatName(options.audioFormat)};
    };
    row.write = writeAudio;
    row.takeValue = takeAudioFormat;
    row.settings = soundSettings();
    row.used = wantsRenderedAudio;
    row.settingUnused = soundSettingUnused;
    row.prepare = loadSoundFont;
    return row;
}

}  // namespace kdb2mid

#endif  // KDB2MID_HAVE_AUDIO
