// SONG.mid: the song's data tracks and its lyric track. Every song gets it;
// when audio is rendered, the file is built in memory first and the
// synthesizer plays the same bytes.
#include "convert/outputs.hpp"

#include "midi/midi_file.hpp"

namespace kdb2mid {

namespace {

bool writeMidi(SongContext& song, std::span<const std::filesystem::path> files) {
    ConvertWorkspace& work = song.work;
    RecordError refused = song.decoded;
    const bool inMemory = refused == RecordError::none && song.midiInMemory();
    if (inMemory) refused = song.products.midiFile();
    const bool accepted = writeRecordOutput(song, files[0], refused, [&](ByteSink& out) {
        if (inMemory) {
            out.write(work.midiBuffer);
            return RecordError::none;
        }
        return writeMidiFile(work.song, song.options.lyrics, out, work.trackBuffer);
    });
    // A record refused here is reported once, not again for the other files.
    return accepted && song.decoded == RecordError::none;
}

}  // namespace

OutputRow midiOutput() {
    OutputRow row;
    row.id = Output::midi;
    row.endings = [](const ConvertOptions&) { return std::vector<std::string>{".mid"}; };
    row.write = writeMidi;
    return row;
}

}  // namespace kdb2mid
