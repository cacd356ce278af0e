// SONG.lrc: each lyric line with each word's time, for music players.
#include "convert/outputs.hpp"

#include "export/lrc_file.hpp"

#ifndef KDB2MID_VERSION
#define KDB2MID_VERSION "unknown"
#endif

namespace kdb2mid {

namespace {

bool writeLrcOutput(SongContext& song, std::span<const std::filesystem::path> files) {
    const SongTiming& timing = song.timing();
    writeTextOutput(
        song, files[0],
        writeLrc({song.lyrics(), timing.tempo, timing.lengthSeconds(), KDB2MID_VERSION}));
    return true;
}

}  // namespace

OutputRow lrcOutput() {
    OutputRow row;
    row.id = Output::lrc;
    row.option = "--lrc";
    row.help = "Also write SONG.lrc: the lyrics with each word's time, for music players";
    row.needs.lyrics = true;
    row.endings = [](const ConvertOptions&) { return std::vector<std::string>{".lrc"}; };
    row.write = writeLrcOutput;
    return row;
}

}  // namespace kdb2mid
