// SONG.<format>: the song played through the synthesizer (audio/), rendered
// by the song's products (song_products.hpp) with every other output that
// needs its sound.
#ifdef KDB2MID_HAVE_AUDIO

#include <cctype>

#include "audio/audio_format.hpp"
#include "audio/song_renderer.hpp"
#include "convert/outputs.hpp"
#include "messages/batch_messages.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

// SONG.<format> whenever --audio asks for it, --ultrastar or not: the option
// writes what its help says, and the game folder's copy (the same bytes,
// from the same render) stays with the game when the folder is moved.
// A split song's instrumental and guide melody go beside it (--stems).
void planAudio(SongContext& song, std::vector<std::filesystem::path>& files) {
    files.push_back(song.file(std::string(".") + audioFormatName(song.options.audioFormat)));
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
    return row;
}

}  // namespace kdb2mid

#endif  // KDB2MID_HAVE_AUDIO
