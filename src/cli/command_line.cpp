#include "cli/command_line.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <iostream>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "cli/console.hpp"
#include "cli/convert_command.hpp"
#include "convert/convert_song.hpp"
#include "cli/inspect_commands.hpp"
#include "cli/export_commands.hpp"
#include "messages/messages.hpp"

#ifndef KDB2MID_VERSION
#define KDB2MID_VERSION "unknown"
#endif

namespace kdb2mid {

namespace {

constexpr std::array<std::string_view, 6> kSubcommands = {"convert", "info",         "list",
                                                          "names",   "chorus-index", "legacy"};

constexpr const char* kUsage =
    "usage: kdb2mid SONG   (a song number, e.g. kdb2mid 21090)\n"
    "       kdb2mid convert|info|list|names|chorus-index|legacy ...   (kdb2mid --help tells more)";

// The most threads -j accepts: far more than any machine's cores, few enough
// that a mistyped number cannot ask for a thread and a song buffer per song.
constexpr unsigned kMaxThreads = 1024;

bool isSingleSongForm(std::string_view first) {
    if (std::find(kSubcommands.begin(), kSubcommands.end(), first) != kSubcommands.end()) {
        return false;
    }
    // "-x" and "--xyz" are options; "-5", "-" and " 21090" stay song numbers
    // read as they always were.
    return !(first.size() >= 2 && first[0] == '-' && !(first[1] >= '0' && first[1] <= '9'));
}

// Arguments arrive as UTF-8 on every platform (main converts them on Windows).
std::filesystem::path pathFromArgument(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::int32_t songFromArgument(const std::string& text) {
    // The parser has checked the argument with kSongNumber.
    return parseSongArgument(text).value_or(0);
}

const CLI::Validator kSongNumber(
    [](const std::string& text) {
        return parseSongArgument(text) ? std::string{} : "not a song number: " + text;
    },
    "");

const CLI::Validator kSongRange(
    [](const std::string& text) {
        return parseSongRange(text) ? std::string{}
                                    : "not a range of song numbers FROM-TO: " + text;
    },
    "");

unsigned defaultThreads() { return std::max(1U, std::thread::hardware_concurrency()); }

void addDatabaseOption(CLI::App& command, std::string& folder) {
    command.add_option("-C,--database", folder, "Database folder (default: current folder)")
        ->type_name("DBDIR");
}

int usageError(const CLI::App& command, const std::string& message) {
    std::cerr << command.get_name() << ": " << message
              << "\nRun with --help for more information.\n";
    return kExitUsage;
}

}  // namespace

std::int32_t parseSongNumber(std::string_view text) noexcept {
    std::size_t i = 0;
    auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + (text[i] - '0'), limit);
    }
    if (negative) value = -value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

int runSingleSong(std::int32_t songNumber) {
    SongDatabase database;
    if (const auto error = database.open({}); error != SongDatabase::OpenError::none) {
        printLine(databaseOpenFailure(error));
        return kExitFailure;
    }
    removeStaleTemporaries({});
    ConvertWorkspace work;
    const SongResult result = convertSong(database, songNumber, {}, ConvertOptions{}, work);
    for (const std::string& line : result.messages) printLine(line);
    return result.outcome == SongResult::Outcome::converted ? kExitSuccess : kExitFailure;
}

int runCommandLine(std::span<const char* const> args) {
    if (args.size() < 2) {
        std::fprintf(stderr, "%s\n", kUsage);
        return kExitUsage;
    }
    if (isSingleSongForm(args[1])) return runSingleSong(parseSongNumber(args[1]));

    CLI::App app{
        "kdb2mid turns the songs of a karaoke song database (SONG.IDX, SONG.DAT,\n"
        "CRS&TCK.IDX, CHORUS.DAT, name.idx, name.tab) into MIDI files, chorus MP3\n"
        "files and song lists.",
        "kdb2mid"};
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("kdb2mid ") + KDB2MID_VERSION);
    app.footer(
        "kdb2mid SONG converts one song of the database in the current folder into the\n"
        "current folder: SONG.mid, and SONG_PART.mp3 for each chorus recording.\n"
        "Exit status: 0 done, 1 after any failure line, 2 for a usage error.");

    ConvertRequest request;
    std::vector<std::string> songTexts;
    std::string rangeText;
    std::string databaseText;
    std::string outputText;
    std::string lyricsText;
    bool karaoke = false;
    request.threads = defaultThreads();
    CLI::App* convert = app.add_subcommand("convert", "Convert songs to MIDI and chorus MP3 files");
    convert->add_option("SONG", songTexts, "Song numbers to convert")
        ->type_name("SONG")
        ->check(kSongNumber);
    CLI::Option* all =
        convert->add_flag("--all", request.all, "Every song that SONG.IDX addresses");
    CLI::Option* range =
        convert->add_option("--range", rangeText, "The songs FROM to TO, both included")
            ->type_name("FROM-TO")
            ->check(kSongRange);
    addDatabaseOption(*convert, databaseText);
    convert
        ->add_option("-o,--output", outputText,
                     "Output folder, created if missing (default: current folder)")
        ->type_name("OUTDIR");
    convert
        ->add_option("-j,--jobs", request.threads,
                     "Songs converted at once (default: the number of cores)")
        ->type_name("N")
        ->check(CLI::Range(1U, kMaxThreads).description(""));
    convert->add_flag("-q,--quiet", request.quiet, "No progress line and no summary line");
    CLI::Option* lyrics = convert
                              ->add_option("--lyrics", lyricsText,
                                           "Lyric text as stored (vni, the default) or as UTF-8")
                              ->type_name("utf8|vni")
                              ->check(CLI::IsMember({"utf8", "vni"}).description(""));
    convert->add_flag("--kar", karaoke,
                      "Also write SONG.kar (implies --lyrics utf8 unless --lyrics vni)");
    all->excludes(range);
    convert->get_option("SONG")->excludes(all)->excludes(range);

    std::string infoSong;
    std::string infoDatabase;
    CLI::App* info = app.add_subcommand(
        "info", "Show a song's titles, tracks, length, lyrics and chorus recordings");
    info->add_option("SONG", infoSong, "Song number")
        ->type_name("SONG")
        ->required()
        ->check(kSongNumber);
    addDatabaseOption(*info, infoDatabase);

    std::string listDatabase;
    CLI::App* list =
        app.add_subcommand("list", "List the songs that have a record: number, tab, name");
    addDatabaseOption(*list, listDatabase);

    std::string namesDatabase;
    CLI::App* names =
        app.add_subcommand("names", "Write the song-name list to Output.txt (UTF-16)");
    addDatabaseOption(*names, namesDatabase);

    std::string chorusDatabase;
    CLI::App* chorusIndex =
        app.add_subcommand("chorus-index", "Write CRS&TCK.IDX as text to index.txt");
    addDatabaseOption(*chorusIndex, chorusDatabase);

    std::string legacySong;
    std::string legacyRoot;
    CLI::App* legacy = app.add_subcommand("legacy", "Extract one raw record of the older database");
    legacy->add_option("SONG", legacySong, "Song number")
        ->type_name("SONG")
        ->required()
        ->check(kSongNumber);
    legacy->add_option("--root", legacyRoot, "The older database's root folder")->type_name("DIR");

    try {
        app.parse(static_cast<int>(args.size()), args.data());
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? kExitSuccess : kExitUsage;
    }

    if (convert->parsed()) {
        if (songTexts.empty() && !request.all && rangeText.empty()) {
            return usageError(*convert, "give song numbers, --all or --range FROM-TO");
        }
        for (const std::string& text : songTexts) request.songs.push_back(songFromArgument(text));
        if (!rangeText.empty()) request.range = parseSongRange(rangeText);
        request.databaseFolder = pathFromArgument(databaseText);
        request.outputFolder = pathFromArgument(outputText);
        request.options = convertOptionsFor(lyrics->count() > 0 ? &lyricsText : nullptr, karaoke);
        return runConvertCommand(request);
    }
    if (info->parsed()) {
        return runInfoCommand(songFromArgument(infoSong), pathFromArgument(infoDatabase));
    }
    if (list->parsed()) return runListCommand(pathFromArgument(listDatabase));
    if (names->parsed()) return runNamesCommand(pathFromArgument(namesDatabase));
    if (chorusIndex->parsed()) return runChorusIndexCommand(pathFromArgument(chorusDatabase));
    if (legacy->parsed()) {
        const std::filesystem::path root =
            legacyRoot.empty() ? defaultLegacyRoot() : pathFromArgument(legacyRoot);
        return runLegacyCommand(songFromArgument(legacySong), root);
    }
    return usageError(app, "no command given");
}

}  // namespace kdb2mid
