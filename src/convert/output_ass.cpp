// SONG.ass: karaoke subtitles for video players, two lines on screen. With
// --video it is the document the video draws, its times after the video's
// lead-in; alone it keeps the song's own times, as the audio files do.
#include "convert/outputs.hpp"

namespace kdb2mid {

namespace {

bool writeAssOutput(SongContext& song, std::span<const std::filesystem::path> files) {
    writeTextOutput(song, files[0], song.products.assDocument());
    return true;
}

}  // namespace

OutputRow assOutput() {
    OutputRow row;
    row.id = Output::ass;
    row.option = "--ass";
    row.help = "Also write SONG.ass: karaoke subtitles for video players";
    row.needs.lyrics = true;
    row.endings = [](const ConvertOptions&) { return std::vector<std::string>{".ass"}; };
    row.write = writeAssOutput;
    return row;
}

}  // namespace kdb2mid
