#include "cli/command_line.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <array>
#include <charconv>
#include <cstdio>
#include <iostream>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/command_suggestion.hpp"
#include "cli/console.hpp"
#include "cli/convert_command.hpp"
#include "convert/file_names.hpp"
#include "midi/track_transform.hpp"
#ifdef KDB2MID_HAVE_AUDIO
#include "audio/audio_format.hpp"
#include "audio/song_renderer.hpp"
#endif
#include "convert/convert_song.hpp"
#include "convert/outputs.hpp"
#include "cli/inspect_commands.hpp"
#include "cli/export_commands.hpp"
#include "messages/messages.hpp"
#ifdef KDB2MID_HAVE_VIDEO
#include "messages/video_messages.hpp"
#endif
#include "search/song_search.hpp"

#ifndef KDB2MID_VERSION
#define KDB2MID_VERSION "unknown"
#endif

namespace kdb2mid {

namespace {

constexpr std::array<std::string_view, 7> kSubcommands = {
    "convert", "info", "list", "search", "names", "chorus-index", "legacy"};

constexpr const char* kUsage =
    "usage: kdb2mid SONG   (a song number, e.g. kdb2mid 21090)\n"
    "       kdb2mid convert|info|list|search|names|chorus-index|legacy ...   (kdb2mid --help tells "
    "more)";

// The most threads -j accepts: far more than any machine's cores, few enough
// that a mistyped number cannot ask for a thread and a song buffer per song.
constexpr unsigned kMaxThreads = 1024;

bool hasDigit(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// An argument as it would be typed into a shell: quoted unless it holds only
// letters, digits and punctuation the shell leaves alone.
std::string shellWord(std::string_view text) {
    const bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("-_./=:,+@%").find(c) != std::string_view::npos;
    });
    if (plain) return std::string(text);
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// `kdb2mid SONG` takes the song number alone; anything after it (an option,
// an output folder, more songs) was silently ignored before. Shows the
// convert command that does what was asked.
int refuseBareFormExtras(std::span<const char* const> args) {
    std::string line = "usage: kdb2mid convert";
    for (std::size_t i = 1; i < args.size(); ++i) line += " " + shellWord(args[i]);
    line += "   (kdb2mid SONG takes the song number alone)";
    std::fprintf(stderr, "%s\n", line.c_str());
    return kExitUsage;
}

// A first argument without a digit is no song number: most likely a
// mistyped command.
int refuseUnknownCommand(std::string_view typed) {
    std::string line = "kdb2mid: unknown command \"" + std::string(typed) + "\"";
    if (typed == "help") {
        line += "; for help run: kdb2mid --help";
    } else if (const auto nearest = nearestCommand(typed, kSubcommands)) {
        line += "; did you mean: kdb2mid " + std::string(*nearest) + "?";
    }
    std::fprintf(stderr, "%s\n%s\n", line.c_str(), kUsage);
    return kExitUsage;
}

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

// FROM and TO of "FROM-TO" as song numbers, in either order.
std::optional<SongRange> rangeEnds(std::string_view text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    const auto from = parseSongArgument(text.substr(0, dash));
    const auto to = parseSongArgument(text.substr(dash + 1));
    if (!from || !to) return std::nullopt;
    return SongRange{*from, *to};
}

const CLI::Validator kSongNumber(
    [](const std::string& text) {
        if (parseSongArgument(text)) return std::string{};
        if (const auto ends = rangeEnds(text); ends && ends->first <= ends->last) {
            return "not a song number: " + text + " (for the songs " +
                   std::to_string(ends->first) + " to " + std::to_string(ends->last) +
                   " use --range " + text + ")";
        }
        return "not a song number: " + text;
    },
    "");

const CLI::Validator kShard(
    [](const std::string& text) {
        return parseShard(text) ? std::string{}
                                : "not a shard I/N with I from 1 to N: " + text;
    },
    "");

const CLI::Validator kNamePattern(
    [](const std::string& text) { return checkNamePattern(text).value_or(std::string{}); }, "");

const CLI::Validator kSongRange(
    [](const std::string& text) {
        if (parseSongRange(text)) return std::string{};
        if (const auto ends = rangeEnds(text)) {
            return "FROM is above TO in " + text + " (the range from the lower number is " +
                   std::to_string(ends->last) + "-" + std::to_string(ends->first) + ")";
        }
        return "not a range of song numbers FROM-TO: " + text;
    },
    "");

// A count of at least 1, in decimal digits only.
std::optional<std::size_t> parseCount(const std::string& text) {
    std::size_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc{} || stop != end || value == 0) return std::nullopt;
    return value;
}

const CLI::Validator kCount(
    [](const std::string& text) {
        return parseCount(text) ? std::string{} : "not a number above 0: " + text;
    },
    "");

// An output folder that is there already must be a folder.
const CLI::Validator kOutputFolder(
    [](const std::string& text) {
        std::error_code error;
        const std::filesystem::path path = pathFromArgument(text);
        if (std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error)) {
            return text + " is a file; -o names the folder the files are written into";
        }
        return std::string{};
    },
    "");

// Help without CLI11's notes that repeat what the descriptions say ("SONG
// SONG REQUIRED", "Excludes: ..."): an option shows its value's name, a
// positional its name and "..." when it takes several.
class HelpFormatter final : public CLI::Formatter {
public:
    std::string make_option_opts(const CLI::Option* option) const override {
        if (!option->nonpositional()) return option->get_expected_max() > 1 ? " ..." : "";
        if (option->get_type_size() == 0 || option->get_type_name().empty()) return {};
        return " " + option->get_type_name();
    }
};

unsigned defaultThreads() { return std::max(1U, std::thread::hardware_concurrency()); }

#ifdef KDB2MID_HAVE_VIDEO
// --video-size and --background (each null when not given) into the video
// settings; the usage error, or "" when they were taken.
std::string takeVideoSettings(ConvertOptions& options, const std::string* size,
                              const std::string* background) {
    if (!options.outputs.has(Output::video)) {
        if (size != nullptr) return needsVideo("--video-size");
        if (background != nullptr) return needsVideo("--background");
        return {};
    }
    if (size != nullptr) {
        const std::optional<VideoSize> parsed = parseVideoSize(*size);
        if (!parsed) return videoSizeRefused(*size);
        options.videoSettings.size = *parsed;
    }
    if (background != nullptr) {
        std::optional<Background> parsed = parseBackground(*background);
        if (!parsed) return backgroundRefused(*background);
        if (!parsed->image.empty()) parsed->image = pathFromArgument(*background);
        options.videoSettings.background = std::move(*parsed);
    }
    return {};
}
#endif

CLI::Option* addDatabaseOption(CLI::App& command, std::string& folder) {
    return command
        .add_option("-C,--database", folder, "Database folder (default: current folder)")
        ->type_name("DBDIR");
}

CLI::Option* addOutputOption(CLI::App& command, std::string& folder, const std::string& help) {
    return command.add_option("-o,--output", folder, help)->type_name("OUTDIR")->check(kOutputFolder);
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
    if (isSingleSongForm(args[1])) {
        if (!hasDigit(args[1])) return refuseUnknownCommand(args[1]);
        if (args.size() > 2) return refuseBareFormExtras(args);
        return runSingleSong(parseSongNumber(args[1]));
    }

    CLI::App app{
        "kdb2mid turns the songs of a karaoke song database (SONG.IDX, SONG.DAT,\n"
        "CRS&TCK.IDX, CHORUS.DAT, name.idx, name.tab) into MIDI and karaoke files,\n"
        "lyrics, audio, UltraStar songs, chorus MP3 files and song lists.",
        "kdb2mid"};
    app.allow_windows_style_options(false);
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("kdb2mid ") + KDB2MID_VERSION);
    // Subcommands take the formatter and footer the app has when they are added.
    app.formatter(std::make_shared<HelpFormatter>());
    const std::string exitStatuses =
        "Exit status: 0 done, 1 after any failure line, 2 for a usage error.";
    app.footer(exitStatuses);

    ConvertRequest request;
    std::vector<std::string> songTexts;
    std::string rangeText;
    std::string databaseText;
    std::string outputText;
    std::string lyricsText;
    request.threads = defaultThreads();
    CLI::App* convert = app.add_subcommand(
        "convert", "Convert songs to MIDI, chorus MP3, karaoke, lyric, audio and UltraStar files");
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
    addOutputOption(*convert, outputText,
                    "Output folder, created if missing (default: current folder)");
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
                              ->check(CLI::IsMember({"utf8", "utf-8", "vni"}, CLI::ignore_case)
                                          .description(""));
    // One option per output of the table, in its order.
    const std::vector<OutputRow>& outputs = outputTable();
    std::vector<std::string> outputValues(outputs.size());
    std::vector<CLI::Option*> outputOptions(outputs.size(), nullptr);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const OutputRow& row = outputs[i];
        if (row.option.empty()) continue;
        if (row.valueName.empty()) {
            outputOptions[i] = convert->add_flag(std::string(row.option), row.help);
        } else {
            outputOptions[i] =
                convert->add_option(std::string(row.option), outputValues[i], row.help)
                    ->type_name(std::string(row.valueName))
                    ->check(CLI::IsMember(row.choices, CLI::ignore_case).description(""));
        }
    }
    convert
        ->add_option("--transpose", request.options.transpose,
                     "Move every note but the drums N semitones, -12 to 12, in every file")
        ->type_name("N")
        ->check(CLI::Range(-kMaxTranspose, kMaxTranspose).description(""));
    convert
        ->add_option("--tempo", request.options.tempoPercent,
                     "Play at PERCENT of the song's tempo, 25 to 400; lyric times follow")
        ->type_name("PERCENT")
        ->check(CLI::Range(kMinTempoPercent, kMaxTempoPercent).description(""));
#ifdef KDB2MID_HAVE_AUDIO
    std::string soundFontText;
    CLI::Option* soundFont = convert
        ->add_option("--soundfont", soundFontText,
                     std::string("SoundFont (.sf2/.sf3) to render with (default: ") +
                         kDefaultSoundFont + ")")
        ->type_name("FILE");
    std::string loudnessText;
    CLI::Option* loudness = convert
        ->add_option("--loudness", loudnessText,
                     "Bring each song's audio to LUFS integrated loudness, -30 to -9, true peak "
                     "at most -1 dBTP (default: -16), or off: the synthesizer's own level")
        ->type_name("LUFS|off");
    convert->add_flag("--mute-melody", request.options.muteMelody,
                      "Render the audio without the melody track: an instrumental");
#endif
#ifdef KDB2MID_HAVE_VIDEO
    std::string videoSizeText;
    CLI::Option* videoSize =
        convert
            ->add_option("--video-size", videoSizeText,
                         "Frame size of the videos, even numbers from 320x240 to 3840x2160 "
                         "(default: 1280x720)")
            ->type_name("WIDTHxHEIGHT");
    std::string backgroundText;
    CLI::Option* background =
        convert
            ->add_option("--background", backgroundText,
                         "What the videos' lyrics are drawn over: black (the default), a colour "
                         "#RRGGBB or a picture file, scaled to fit")
            ->type_name("COLOUR|FILE");
#endif
    convert->add_flag("--resume", request.options.resume,
                      "Skip songs whose requested files all exist already");
    std::string shardText;
    convert
        ->add_option("--shard", shardText,
                     "Convert only every N-th song, from the I-th on (I from 1 to N): "
                     "N machines share one database")
        ->type_name("I/N")
        ->check(kShard);
    std::string namePattern;
    convert
        ->add_option("--name", namePattern,
                     "Name each song's files from {song}, {title}, {artist} "
                     "(default: {song})")
        ->type_name("PATTERN")
        ->check(kNamePattern);
    all->excludes(range);
    convert->get_option("SONG")->excludes(all)->excludes(range);

    std::string infoSong;
    std::string infoDatabase;
    CLI::App* info = app.add_subcommand(
        "info", "Show a song's titles, tracks, length, melody, lyrics and chorus recordings");
    info->add_option("SONG", infoSong, "Song number")
        ->type_name("SONG")
        ->required()
        ->check(kSongNumber);
    addDatabaseOption(*info, infoDatabase);
    bool infoJson = false;
    info->add_flag("--json", infoJson, "One JSON object instead of the report");

    std::string listDatabase;
    CLI::App* list =
        app.add_subcommand("list", "List the songs that have a record: number, tab, name");
    addDatabaseOption(*list, listDatabase);
    bool listJson = false;
    list->add_flag("--json", listJson, "One JSON object per song and line: song, name");

    SearchRequest searchRequest;
    std::string searchDatabase;
    std::string searchLimit;
    CLI::App* search = app.add_subcommand(
        "search", "Find songs by words of their name or titles, with or without marks");
    search->add_option("WORDS", searchRequest.words, "Words each song must hold, or their starts")
        ->type_name("WORD")
        ->required();
    addDatabaseOption(*search, searchDatabase);
    search->add_option("--limit", searchLimit, "Print at most N songs, the best ones")
        ->type_name("N")
        ->check(kCount);
    search->footer(
        "Names and titles are kept in $XDG_CACHE_HOME/kdb2mid (default ~/.cache/kdb2mid) and\n"
        "read again from there until a database file changes.\n"
        "Exit status: 0 with matches, 1 without or after a failure line, 2 for a usage error.");

    std::string namesDatabase;
    std::string namesOutput;
    CLI::App* names =
        app.add_subcommand("names", "Write the song-name list to Output.txt (UTF-16)");
    names->footer(
        "Reads DBDIR/name.idx and DBDIR/name.tab; writes OUTDIR/Output.txt, UTF-16LE with a\n"
        "byte-order mark, one line per song: its name, a tab, its number. A song without a\n"
        "name is reported as \"Skip SONG\".\n" + exitStatuses);
    addDatabaseOption(*names, namesDatabase);
    addOutputOption(*names, namesOutput, "Folder Output.txt is written into (default: current folder)");

    std::string chorusDatabase;
    std::string chorusOutput;
    CLI::App* chorusIndex =
        app.add_subcommand("chorus-index", "Write CRS&TCK.IDX as text to index.txt");
    chorusIndex->footer(
        "Reads DBDIR/CRS&TCK.IDX; writes OUTDIR/index.txt, one line per entry: its part\n"
        "number, where its recording starts and ends in CHORUS.DAT (in 2048-byte units),\n"
        "each followed by a space.\n" + exitStatuses);
    addDatabaseOption(*chorusIndex, chorusDatabase);
    addOutputOption(*chorusIndex, chorusOutput,
                    "Folder index.txt is written into (default: current folder)");

    std::string legacySong;
    std::string legacyDatabase;
    std::string legacyRoot;
    std::string legacyOutput;
    CLI::App* legacy = app.add_subcommand("legacy", "Extract one raw record of the older database");
    const std::string legacyDefault = defaultLegacyRoot().empty()
                                          ? std::string("the current folder")
                                          : displayName(defaultLegacyRoot());
    legacy->footer("Reads DBDIR/9703/song.idx and DBDIR/9703/song.dat; writes OUTDIR/SONG.dat, the\n"
                   "song's record as stored. Without -C, DBDIR is the --root folder, or else " +
                   legacyDefault + ",\nand OUTDIR defaults to it.\n" + exitStatuses);
    legacy->add_option("SONG", legacySong, "Song number")
        ->type_name("SONG")
        ->required()
        ->check(kSongNumber);
    CLI::Option* legacyFolder =
        addDatabaseOption(*legacy, legacyDatabase)
            ->description("The older database's root folder, which holds 9703/");
    legacy
        ->add_option("--root", legacyRoot,
                     "As -C, but SONG.dat goes into DIR unless -o says otherwise (default: " +
                         legacyDefault + ")")
        ->type_name("DIR")
        ->excludes(legacyFolder);
    addOutputOption(*legacy, legacyOutput,
                    "Folder SONG.dat is written into (default: current folder with -C, else the "
                    "root)");

    // The bare form is described once, in the top-level help.
    app.footer(
        "kdb2mid SONG converts one song of the database in the current folder into the\n"
        "current folder: SONG.mid, and SONG_PART.mp3 for each chorus recording. It takes\n"
        "the song number alone; kdb2mid convert takes options.\n" + exitStatuses);

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
        // IsMember has turned any spelling into the one listed.
        if (lyricsText == "utf-8") lyricsText = "utf8";
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            if (outputOptions[i] == nullptr || outputOptions[i]->count() == 0) continue;
            request.options.outputs.add(outputs[i].id);
            if (outputs[i].takeValue == nullptr) continue;
            const std::string refused = outputs[i].takeValue(outputValues[i], request.options);
            if (!refused.empty()) return usageError(*convert, refused);
        }
        request.options.lyrics =
            convertOptionsFor(lyrics->count() > 0 ? &lyricsText : nullptr,
                              request.options.outputs.has(Output::karaoke))
                .lyrics;
#ifdef KDB2MID_HAVE_AUDIO
        if (const auto unused = unusedSoundOption(request.options, soundFont->count() > 0,
                                                  loudness->count() > 0)) {
            return usageError(*convert, *unused);
        }
        for (const Output pair : {Output::cdg, Output::cdgZip}) {
            if (!request.options.outputs.has(pair)) continue;
            const bool opus = request.options.outputs.has(Output::audio) &&
                              request.options.audioFormat == AudioFormat::opus;
            if (opus || !audioFormatSupported(AudioFormat::mp3)) {
                return usageError(*convert, mp3gUnavailable(outputRow(pair).option, opus));
            }
        }
        request.soundFont = pathFromArgument(soundFontText);
        if (!loudnessText.empty() && !parseLoudness(loudnessText, request.options.loudness)) {
            return usageError(*convert, loudnessRefused(loudnessText, kMinLoudness, kMaxLoudness));
        }
#endif
#ifdef KDB2MID_HAVE_VIDEO
        if (const std::string refused =
                takeVideoSettings(request.options, videoSize->count() > 0 ? &videoSizeText : nullptr,
                                  background->count() > 0 ? &backgroundText : nullptr);
            !refused.empty()) {
            return usageError(*convert, refused);
        }
#endif
        if (!shardText.empty()) request.shard = parseShard(shardText);
        request.namePattern = namePattern;
        return runConvertCommand(request);
    }
    if (info->parsed()) {
        return runInfoCommand(songFromArgument(infoSong), pathFromArgument(infoDatabase),
                              infoJson ? OutputForm::json : OutputForm::text);
    }
    if (list->parsed()) {
        return runListCommand(pathFromArgument(listDatabase),
                              listJson ? OutputForm::json : OutputForm::text);
    }
    if (search->parsed()) {
        if (searchQuery(searchRequest.words).empty()) {
            return usageError(*search, "give words with letters or digits to search for");
        }
        searchRequest.databaseFolder = pathFromArgument(searchDatabase);
        if (!searchLimit.empty()) searchRequest.limit = parseCount(searchLimit).value_or(0);
        return runSearchCommand(searchRequest);
    }
    if (names->parsed()) {
        return runNamesCommand(pathFromArgument(namesDatabase), pathFromArgument(namesOutput));
    }
    if (chorusIndex->parsed()) {
        return runChorusIndexCommand(pathFromArgument(chorusDatabase),
                                     pathFromArgument(chorusOutput));
    }
    if (legacy->parsed()) {
        // --root, and no option at all, write the record into the root as
        // they always have; -C reads from a folder like every other command.
        const bool byDatabase = legacyFolder->count() > 0;
        const std::filesystem::path root =
            byDatabase ? pathFromArgument(legacyDatabase)
                       : (legacyRoot.empty() ? defaultLegacyRoot() : pathFromArgument(legacyRoot));
        std::filesystem::path output = pathFromArgument(legacyOutput);
        if (legacyOutput.empty() && !byDatabase) output = root;
        return runLegacyCommand(songFromArgument(legacySong), root, output);
    }
    return usageError(app, "no command given");
}

}  // namespace kdb2mid
