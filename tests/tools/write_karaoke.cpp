// Writes .kar files through convertSong, for tests/scripts/check-kar.sh, until
// the command line offers the same; and writes the small Vietnamese test
// database that script's expected lines describe.
//
//   kdb2mid_write_karaoke convert DBDIR OUTDIR [--lyrics utf8|vni] SONG...
//   kdb2mid_write_karaoke make-test-db DIR
#include <cstdio>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/command_line.hpp"
#include "convert/convert_song.hpp"
#include "convert/song_plan.hpp"
#include "midi/vietnamese_song.hpp"
#include "generator/database_writer.hpp"

namespace {

using namespace kdb2mid;

int usage() {
    std::fputs("usage: kdb2mid_write_karaoke convert DBDIR OUTDIR [--lyrics utf8|vni] SONG...\n"
               "       kdb2mid_write_karaoke make-test-db DIR\n",
               stderr);
    return kExitUsage;
}

int convert(const std::vector<std::string_view>& args) {
    if (args.size() < 3) return usage();
    SongDatabase database;
    if (database.open(std::string(args[0])) != SongDatabase::OpenError::none) {
        std::printf("Cannot open the database in %s\n", std::string(args[0]).c_str());
        return kExitFailure;
    }
    std::optional<LyricText> lyrics;
    std::vector<std::int32_t> songs;
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--lyrics" && i + 1 < args.size()) {
            ++i;
            if (args[i] == "utf8") {
                lyrics = LyricText::utf8;
            } else if (args[i] == "vni") {
                lyrics = LyricText::stored;
            } else {
                return usage();
            }
        } else {
            songs.push_back(parseSongNumber(args[i]));
        }
    }
    ConvertOptions options;
    options.lyrics = chosenLyricText(lyrics, true);
    options.outputs.add(Output::karaoke);
    ConvertWorkspace work;
    int status = kExitSuccess;
    for (const std::int32_t song : songs) {
        const SongResult result = convertSong(database, song, std::string(args[1]), options, work);
        for (const std::string& line : result.messages) std::printf("%s\n", line.c_str());
        if (result.outcome != SongResult::Outcome::converted) status = kExitFailure;
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    if (args.empty()) return usage();
    try {
        if (args[0] == "convert") return convert({args.begin() + 1, args.end()});
        if (args[0] == "make-test-db" && args.size() == 2) {
            sample::writeDatabase({{sample::buildRecord(test::vietnameseSong())}, {}, {}},
                                  std::string(args[1]));
            return kExitSuccess;
        }
    } catch (const std::exception& error) {
        std::printf("%s\n", error.what());
        return kExitFailure;
    }
    return usage();
}
