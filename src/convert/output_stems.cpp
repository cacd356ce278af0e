// --stems: the song's guide melody on or off in every player. Beside each
// audio file of the song (SONG.<format>, and the UltraStar folder's) go
// SONG.instrumental.<format> (the melody track's notes silent) and
// SONG.guide.<format> (the melody track alone); the video carries the
// instrumental and the full song as two sound tracks, and the UltraStar text
// names all three. They come from one render (SongProducts::parts): the
// audio writers plan and write the part files with the full song
// (addPartFiles), so this row has no files of its own.
#ifdef KDB2MID_HAVE_AUDIO

#include "audio/audio_format.hpp"
#include "convert/outputs.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

bool writeStems(SongContext&, std::span<const std::filesystem::path>) { return true; }

// A muted melody leaves no guide melody to split off.
std::string refuseMutedMelody(const ConvertOptions& options) {
    if (!options.muteMelody) return {};
    return partsWithMutedMelody(outputRow(Output::stems).option, "--mute-melody");
}

}  // namespace

OutputRow stemsOutput() {
    OutputRow row;
    row.id = Output::stems;
    row.option = "--stems";
    row.help =
        "With --audio, also write SONG.instrumental and SONG.guide (the melody alone) audio; "
        "with --video, a second sound track with the melody; with --ultrastar, both files";
    row.endings = [](const ConvertOptions& options) {
        if (!options.outputs.has(Output::audio)) return std::vector<std::string>{};
        const std::string extension = std::string(".") + audioFormatName(options.audioFormat);
        return std::vector<std::string>{partEnding(kInstrumentalPart, extension),
                                        partEnding(kGuidePart, extension)};
    };
    row.write = writeStems;
    row.refuses = refuseMutedMelody;
    row.changes = {Output::audio, Output::ultrastar};
#ifdef KDB2MID_HAVE_VIDEO
    row.changes.insert(row.changes.begin() + 1, Output::video);
#endif
    return row;
}

}  // namespace kdb2mid

#endif  // KDB2MID_HAVE_AUDIO
