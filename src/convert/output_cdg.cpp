// SONG.cdg beside SONG.mp3 (--cdg), or the two in SONG.zip (--cdg-zip): the
// MP3+G pair karaoke hosts and players open by name. The graphics show the
// lyric lines with each word turning colour at its time (cdg/); the MP3 is
// the song's rendered audio as --audio mp3 writes it, after the pictures'
// lead-in of silence (as the video's sound), and the graphics last exactly as
// long; when --audio mp3 writes SONG.mp3 itself, without the lead-in, the
// graphics have none either, so the pair stays in time. A song without lyric
// lines gets neither.
#if defined(KDB2MID_HAVE_AUDIO) && defined(KDB2MID_HAVE_CDG)

#include <system_error>

#include "audio/song_renderer.hpp"
#include "cdg/cdg_lyrics.hpp"
#include "cdg/cdg_writer.hpp"
#include "cdg/stored_zip.hpp"
#include "convert/outputs.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

// When another output writes SONG.mp3 without pictures (--audio mp3: the
// song's own timing, no lead-in), that file is the pair's sound, written
// once by that output; the graphics then start with it, without a lead-in.
bool pairHasLeadIn(const SongContext& song) {
    const OutputRow* mp3 = song.plannedBy(song.file(".mp3"));
    return mp3 == nullptr || mp3->needs.pictures;
}

struct Pair {
    std::vector<std::uint8_t> cdg;
    MemoryAudioSink mp3;
};

// The song's pair in memory; false after reporting why it could not be made.
bool makePair(SongContext& song, Pair& pair) {
    const bool leadIn = pairHasLeadIn(song);
    double seconds = 0.0;
    const std::optional<AudioStatus> status =
        song.products.encodeSong(AudioFormat::mp3, pair.mp3, leadIn, seconds);
    if (!status) return false;
    if (!*status) {
        song.result.fail(cannotRender(song.number, describe(*status)));
        return false;
    }
    if (!song.work.cdgFont) {
        std::string why;
        song.work.cdgFont = cdg::FreeTypeRasteriser::open(cdg::kDefaultFontPath, why);
        if (!song.work.cdgFont) {
            std::error_code error;
            if (!std::filesystem::exists(cdg::kDefaultFontPath, error)) {
                why = fontMissing("fonts-dejavu-core");
            }
            song.result.fail(cannotDrawLyrics(song.number, cdg::kDefaultFontPath, why));
            return false;
        }
    }
    const SongTiming& timing = song.timing();
    const double leadInSeconds = leadIn ? static_cast<double>(song.pictureLeadIn()) / 100 : 0.0;
    pair.cdg = cdg::writeCdg(cdg::cdgInput(song.lyrics(), timing.tempo, seconds, leadInSeconds),
                             *song.work.cdgFont);
    return true;
}

struct PendingFile {
    std::filesystem::path path;
    AtomicOutputFile out;
};

// Writes each file whole, then puts them all in place; when one cannot be,
// none of them stays: a host cannot use half a pair.
void writeTogether(SongContext& song, std::vector<std::pair<std::filesystem::path,
                                                            std::span<const std::uint8_t>>> files) {
    std::vector<PendingFile> pending(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        pending[i].path = files[i].first;
        if (!pending[i].out.open(pending[i].path)) {
            reportOutputFailure(song, pending[i].path, pending[i].out.failure());
            return;
        }
        pending[i].out.write(files[i].second);
    }
    for (std::size_t i = 0; i < pending.size(); ++i) {
        if (pending[i].out.commit()) continue;
        reportOutputFailure(song, pending[i].path, pending[i].out.failure());
        for (std::size_t j = 0; j < i; ++j) {
            std::error_code ignored;
            std::filesystem::remove(pending[j].path, ignored);
        }
        return;
    }
}

// The song's pair, drawn and encoded once for both outputs (the loose pair
// and the zip take the same bytes); null after reporting why it could not be.
const Pair* songPair(SongContext& song) {
    return song.products.named<Pair>("MP3+G pair", [&song] {
        auto pair = std::make_shared<Pair>();
        if (!makePair(song, *pair)) pair.reset();
        return pair;
    });
}

// files: SONG.cdg, then SONG.mp3 unless another output writes it.
bool writeCdgOutput(SongContext& song, std::span<const std::filesystem::path> files) {
    const Pair* pair = songPair(song);
    if (pair == nullptr) return true;
    std::vector<std::pair<std::filesystem::path, std::span<const std::uint8_t>>> loose;
    loose.emplace_back(files[0], pair->cdg);
    if (files.size() > 1) loose.emplace_back(files[1], pair->mp3.bytes());
    writeTogether(song, std::move(loose));
    return true;
}

bool writeCdgZipOutput(SongContext& song, std::span<const std::filesystem::path> files) {
    const Pair* pair = songPair(song);
    if (pair == nullptr) return true;
    // Named as the files beside it would be: hosts match the two by name.
    const std::string stem = files[0].stem().string();
    const cdg::ZipEntry entries[] = {{stem + ".cdg", pair->cdg}, {stem + ".mp3", pair->mp3.bytes()}};
    std::vector<std::uint8_t> zip;
    VectorSink sink(zip);
    if (!cdg::writeStoredZip(entries, sink)) {
        song.result.fail(zipTooLarge(files[0]));
        return true;
    }
    writeTogether(song, {{files[0], zip}});
    return true;
}

// An MP3+G pair's sound is an MP3, which an Opus run does not write.
template <Output pair>
std::string refuseWithoutMp3(const ConvertOptions& options) {
    const bool opus = options.outputs.has(Output::audio) && options.audioFormat == AudioFormat::opus;
    if (opus || !audioFormatSupported(AudioFormat::mp3)) {
        return mp3gUnavailable(outputRow(pair).option, opus);
    }
    return {};
}

}  // namespace

OutputRow cdgOutput() {
    OutputRow row;
    row.id = Output::cdg;
    row.option = "--cdg";
    row.help = "Also write SONG.cdg and SONG.mp3 (MP3+G): the lyrics turning colour as they "
               "are sung, for karaoke hosts";
    row.needs.lyrics = true;
    row.needs.renderedAudio = true;
    row.needs.pictures = true;
    // SONG.mp3 is planned here too; when another output writes it as its
    // own file, the plan leaves it to that one.
    row.endings = [](const ConvertOptions&) { return std::vector<std::string>{".cdg", ".mp3"}; };
    row.write = writeCdgOutput;
    row.refuses = refuseWithoutMp3<Output::cdg>;
    return row;
}

OutputRow cdgZipOutput() {
    OutputRow row;
    row.id = Output::cdgZip;
    row.option = "--cdg-zip";
    row.help = "Also write SONG.zip holding SONG.cdg and SONG.mp3, as karaoke hosts also take them";
    row.needs.lyrics = true;
    row.needs.renderedAudio = true;
    row.needs.pictures = true;
    row.endings = [](const ConvertOptions&) { return std::vector<std::string>{".zip"}; };
    row.write = writeCdgZipOutput;
    row.refuses = refuseWithoutMp3<Output::cdgZip>;
    return row;
}

}  // namespace kdb2mid

#endif  // KDB2MID_HAVE_AUDIO && KDB2MID_HAVE_CDG
