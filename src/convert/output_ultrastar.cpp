// SONG/SONG.txt and SONG/SONG.<format>: a song folder for sing-and-score
// games, the notes to sing timed from the melody track. Folders go by song
// number: a title can hold anything.
#include "convert/output_ultrastar.hpp"

#include <algorithm>
#include <system_error>

#ifdef KDB2MID_HAVE_AUDIO
#include "audio/audio_format.hpp"
#endif
#include "convert/outputs.hpp"
#include "format/vni_text.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

std::string ultrastarText(SongContext& song, const std::filesystem::path& audio) {
    const DecodedSong& decoded = song.work.song;
    UltraStarInput input;
    const std::vector<std::string>& titles = song.lyrics().titles;
    if (!titles.empty()) input.title = titles[0];
    if (titles.size() > 1) input.artist = titles[1];
    // The language of what is sung: a title's accented letter ("Frère
    // Jacques") says nothing about the lyrics.
    input.vietnamese = std::any_of(
        decoded.lyrics.events.begin(), decoded.lyrics.events.end(), [&](const LyricEvent& event) {
            return hasEncodedLetters(textBytes(decoded.imageBytes(), event.text));
        });
    input.audioFile = audio.filename().string();
    if (song.splitsMelody()) {
        input.instrumentalFile = partFile(audio, kInstrumentalPart).filename().string();
        input.vocalsFile = partFile(audio, kGuidePart).filename().string();
    }
    const TempoMap& tempo = song.timing().tempo;
    for (const TimedLine& line : song.lyrics().lines) {
        std::vector<UltraStarWord>& phrase = input.phrases.emplace_back();
        for (const TimedWord& word : line.words) {
            phrase.push_back({word.text, word.tick, tempo.secondsAt(word.tick)});
        }
    }
    const MelodyChoice melody = song.melody();
    if (melody.track >= 0) {
        input.melody = timeNotes(song.notes()[static_cast<std::size_t>(melody.track)],
                                 [&tempo](std::uint64_t tick) { return tempo.secondsAt(tick); });
    }
    return writeUltraStar(input);
}

#ifdef KDB2MID_HAVE_AUDIO

namespace {

// files: the text, then the audio (and a split song's parts beside it).
void planUltraStar(SongContext& song, std::vector<std::filesystem::path>& files) {
    const std::string number = std::to_string(song.number);
    const std::filesystem::path folder = outputPath(song.outFolder, number);
    files.push_back(folder / (number + ".txt"));
    files.push_back(folder / (number + "." + audioFormatName(song.options.audioFormat)));
    addPartFiles(song, files);
}

bool writeUltraStarOutput(SongContext& song, std::span<const std::filesystem::path> files) {
    song.melody();  // its notice comes before any failure of the folder
    const std::filesystem::path folder = files[0].parent_path();
    if (const int error = createFolder(folder); error != 0) {
        song.result.fail(cannotCreateFolder(folder, error));
        return true;
    }
    std::error_code error;
    if (!song.products.writeAudio(files[1])) {
        // The song's folder holds nothing the games could use without its audio.
        std::filesystem::remove(folder, error);
        return true;
    }
    writeTextOutput(song, files[0], ultrastarText(song, files[1]));
    return true;
}

}  // namespace

OutputRow ultrastarOutput() {
    OutputRow row;
    row.id = Output::ultrastar;
    row.option = "--ultrastar";
    row.help = std::string("Write SONG/SONG.txt and its audio (") +
               audioFormatName(kDefaultAudioFormat) +
               ", or the format --audio names, which also writes SONG.<format>) for "
               "sing-and-score games";
    row.needs.lyrics = true;
    row.needs.renderedAudio = true;
    row.plan = planUltraStar;
    row.write = writeUltraStarOutput;
    return row;
}

#endif  // KDB2MID_HAVE_AUDIO

}  // namespace kdb2mid
