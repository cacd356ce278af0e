// Writes the .lrc and .ass of songs next to their .mid (with UTF-8 lyrics),
// for tests/scripts/check-lrc.sh, until the command line offers the same; and
// writes a database of songs whose tempo changes often, in several tracks,
// for that script to check the lyric times against.
//
//   kdb2mid_write_lyric_files convert DBDIR OUTDIR SONG...
//   kdb2mid_write_lyric_files make-tempo-db DIR
#include <cstdio>
#include <cstdint>
#include <exception>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.hpp"
#include "midi/midi_file.hpp"
#include "convert/convert_song.hpp"
#include "convert/song_plan.hpp"
#include "export/ass_file.hpp"
#include "export/lrc_file.hpp"
#include "generator/database_writer.hpp"
#include "generator/midi_track_builder.hpp"

namespace {

using namespace kdb2mid;

int usage() {
    std::fputs("usage: kdb2mid_write_lyric_files convert DBDIR OUTDIR SONG...\n"
               "       kdb2mid_write_lyric_files make-tempo-db DIR\n",
               stderr);
    return kExitUsage;
}

void writeText(const std::filesystem::path& path, const std::string& text) {
    sample::writeFile(path, sample::Bytes(text.begin(), text.end()));
}

int convert(const std::vector<std::string_view>& args) {
    if (args.size() < 3) return usage();
    SongDatabase database;
    if (database.open(std::string(args[0])) != SongDatabase::OpenError::none) {
        std::printf("Cannot open the database in %s\n", std::string(args[0]).c_str());
        return kExitFailure;
    }
    const std::filesystem::path out{std::string(args[1])};
    DecodedSong work;
    std::vector<std::uint8_t> trackBuffer;
    int status = kExitSuccess;
    for (std::size_t i = 2; i < args.size(); ++i) {
        const std::int32_t song = parseSongNumber(args[i]);
        const RecordLookup where = database.locate(song);
        std::vector<std::uint8_t> record;
        std::vector<std::uint8_t> midi;
        VectorSink sink(midi);
        if (where.outcome != RecordLookup::Outcome::found || !database.readRecord(where, record) ||
            decodeSong(record, work) != RecordError::none ||
            writeMidiFile(work, LyricText::utf8, sink, trackBuffer) != RecordError::none) {
            std::printf("Cannot convert song %d\n", song);
            status = kExitFailure;
            continue;
        }
        const std::span<const std::uint8_t> image = work.image.bytes();
        const SongTiming timing = songTiming(image, work.table, work.lyrics);
        const TimedLyrics lyrics = timedLyrics(image, work.lyrics);
        const std::string name = std::to_string(song);
        sample::writeFile(out / (name + ".mid"), midi);
        if (lyrics.lines.empty()) continue;
        writeText(out / (name + ".lrc"),
                  writeLrc({lyrics, timing.tempo, timing.lengthSeconds(), "test"}));
        writeText(out / (name + ".ass"), writeAss({lyrics, timing.tempo, "test"}));
    }
    return status;
}

// A song whose tempo changes every few beats in the conductor track and at
// other ticks in the melody and drum tracks, some at the same tick as
// another track's change or as a lyric event.
sample::Bytes tempoSong(std::uint32_t seed) {
    std::mt19937 random(seed);
    const auto between = [&random](std::uint32_t low, std::uint32_t high) {
        return low + static_cast<std::uint32_t>(random() % (high - low + 1));
    };
    constexpr std::uint32_t kEnd = 30000;  // ticks; lyric times are 16-bit
    sample::MidiTrackBuilder conductor, melody, drums;
    conductor.tempo(0, between(300000, 900000));
    for (std::uint32_t tick = 240; tick < kEnd; tick += between(1, 6) * 60) {
        conductor.tempo(tick, between(250000, 1500000));
    }
    for (std::uint32_t tick = 0; tick < kEnd; tick += 60) {
        melody.note(tick, 50, 0, static_cast<std::uint8_t>(between(55, 80)), 90);
        drums.note(tick, 20, sample::kDrumChannel, 36, 100);
        if (random() % 9 == 0) melody.tempo(tick + between(0, 59), between(200000, 1200000));
        if (random() % 13 == 0) drums.tempo(tick, between(200000, 1200000));
    }

    const char* const syllables[] = {"la", "sing", "tr\xF4\xF8i", "m\xF6\xF9" "a", "xua\xE2n",
                                     "\xF1" "e\xE2" "m", "gio\xF9", "{b}", "a\\N"};
    std::vector<sample::LyricLine> lines;
    std::uint32_t now = 100;
    while (now < kEnd - 2000) {
        sample::LyricLine line;
        line.text = lines.empty() ? " " : "";
        const std::uint32_t words = between(2, 7);
        for (std::uint32_t w = 0; w < words; ++w) {
            if (w > 0) line.text += ' ';
            line.text += syllables[random() % std::size(syllables)];
        }
        line.mark = lines.size() % 2 == 1;
        const std::size_t events = sample::lyricEventCount(line.text);
        for (std::size_t e = 0; e < events; ++e) {
            // Some letters share a tick; the first is the line's absolute time.
            const std::uint32_t step = e == 0 ? 0 : between(0, 50);
            now += step;
            line.words.push_back(static_cast<std::uint16_t>(e == 0 ? now : step));
        }
        lines.push_back(std::move(line));
        now += between(0, 400);
    }
    sample::SongSpec song;
    song.tracks = {conductor.finish(kEnd), melody.finish(kEnd), drums.finish(kEnd)};
    song.lyricBlock =
        sample::buildLyricBlock({"Tempo " + std::to_string(seed), "Generated"}, lines);
    return sample::buildRecord(song);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) return usage();
    try {
        if (args[0] == "convert") return convert({args.begin() + 1, args.end()});
        if (args[0] == "make-tempo-db" && args.size() == 2) {
            // Songs 21090, 21091 and 21092.
            sample::writeDatabase({{tempoSong(1), tempoSong(2), tempoSong(3)}, {}, {}},
                                  std::string(args[1]));
            return kExitSuccess;
        }
    } catch (const std::exception& error) {
        std::printf("%s\n", error.what());
        return kExitFailure;
    }
    return usage();
}
