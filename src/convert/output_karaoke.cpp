// SONG.kar: the .mid laid out as karaoke players expect (midi/kar_track.hpp).
#include "convert/outputs.hpp"

#include "midi/kar_track.hpp"

namespace kdb2mid {

namespace {

bool writeKaraoke(SongContext& song, std::span<const std::filesystem::path> files) {
    writeRecordOutput(song, files[0], RecordError::none, [&](ByteSink& out) {
        return writeKaraokeFile(song.work.song, song.options.lyrics, out, song.work.trackBuffer);
    });
    // The .mid has accepted the record: the files after this one are still written.
    return true;
}

}  // namespace

OutputRow karaokeOutput() {
    OutputRow row;
    row.id = Output::karaoke;
    row.option = "--kar";
    row.help = "Also write SONG.kar (implies --lyrics utf8 unless --lyrics vni)";
    row.needs.readableText = true;
    row.endings = [](const ConvertOptions&) { return std::vector<std::string>{".kar"}; };
    row.write = writeKaraoke;
    return row;
}

}  // namespace kdb2mid
