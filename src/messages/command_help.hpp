// What the command line shows of itself: each command's one-line summary, its
// options' help and its help's footer, the usage lines, and the sentences a
// mistyped argument gets. The command files in cli/ register these; the help
// that depends on a limit is built from the limit's constant.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kdb2mid::help {

// The footer of every command's help.
inline constexpr const char* kExitStatuses =
    "Exit status: 0 done, 1 after any failure line, 2 for a usage error.";

// kdb2mid itself.
inline constexpr const char* kProgram =
    "kdb2mid turns the songs of a karaoke song database (SONG.IDX, SONG.DAT,\n"
    "CRS&TCK.IDX, CHORUS.DAT, name.idx, name.tab) into MIDI and karaoke files,\n"
    "lyrics, audio, karaoke videos, MP3+G, UltraStar songs, chorus MP3 files,\n"
    "song lists and song books.";
// The bare form `kdb2mid SONG`, described once, in the top-level help.
inline constexpr const char* kBareForm =
    "kdb2mid SONG converts one song of the database in the current folder into the\n"
    "current folder: SONG.mid, and SONG_PART.mp3 for each chorus recording. It takes\n"
    "the song number alone; kdb2mid convert takes options.\n";
// What --version prints: "kdb2mid <version>".
std::string versionLine(std::string_view version);
// "usage: kdb2mid SONG ...": commands is "convert|info|...".
std::string usage(std::string_view commands);
// The convert command that does what `kdb2mid SONG extras...` asked: the
// arguments from the song on, each quoted as a shell needs it.
std::string bareFormExtras(std::span<const std::string_view> arguments);
// "kdb2mid: unknown command "x"", then where to look or the nearest command
// (empty when none is near).
std::string unknownCommand(std::string_view typed, std::string_view nearest);
// "kdb2mid <command>: " (or "kdb2mid: ") before a usage error, and the line after it.
std::string usagePrefix(std::string_view command);
inline constexpr const char* kRunWithHelp = "\nRun with --help for more information.\n";
inline constexpr const char* kNoCommand = "no command given";
// Standard output could not be written: "write error: <reason>", or
// "write error" when the errno is 0.
std::string writeError(int error);
inline constexpr const char* kOutOfMemory = "out of memory";
inline constexpr const char* kUnexpectedFailure = "unexpected failure";

// Options several commands take.
inline constexpr const char* kDatabase = "Database folder (default: current folder)";
inline constexpr const char* kSong = "Song number";
// "<text> is a file; -o names the folder ..."
std::string outputIsFile(std::string_view text);
// Why a song number, a range, a count or a shard is refused.
std::string notSongNumber(std::string_view text);
std::string notSongNumberButRange(std::string_view text, std::int32_t first, std::int32_t last);
std::string rangeReversed(std::string_view text, std::int32_t first, std::int32_t last);
std::string notSongRange(std::string_view text);
std::string notCount(std::string_view text);
std::string notShard(std::string_view text);

// convert
inline constexpr const char* kConvert =
    "Convert songs to MIDI, chorus MP3, karaoke, lyric, audio, video and MP3+G files";
inline constexpr const char* kConvertSongs = "Song numbers to convert";
inline constexpr const char* kConvertAll = "Every song that SONG.IDX addresses";
inline constexpr const char* kConvertRange = "The songs FROM to TO, both included";
inline constexpr const char* kConvertOutput =
    "Output folder, created if missing (default: current folder)";
inline constexpr const char* kConvertJobs =
    "Songs converted at once (default: the number of cores)";
inline constexpr const char* kConvertQuiet = "No progress line and no summary line";
inline constexpr const char* kConvertLyrics = "Lyric text as stored (vni, the default) or as UTF-8";
std::string transpose(int most);
std::string tempo(int lowest, int highest);
// The outputs' own settings: messages/output_settings_help.hpp.
inline constexpr const char* kResume =
    "Write only the outputs whose files are not all there yet (render "
    "audio only for those)";
inline constexpr const char* kShard =
    "Convert only every N-th song, from the I-th on (I from 1 to N): "
    "N machines share one database; auto takes I and N from a Slurm job "
    "array, a Kubernetes Indexed Job or GNU parallel (auto/N: N shards)";
inline constexpr const char* kName =
    "Name each song's files from {song}, {title}, {artist} "
    "(default: {song})";
inline constexpr const char* kNoSongsGiven = "give song numbers, --all or --range FROM-TO";

// info, list, search
inline constexpr const char* kInfo =
    "Show a song's titles, tracks, length, melody, lyrics and chorus recordings";
inline constexpr const char* kInfoJson = "One JSON object instead of the report";
inline constexpr const char* kList = "List the songs that have a record: number, tab, name";
inline constexpr const char* kListJson = "One JSON object per song and line: song, name";
inline constexpr const char* kListSort =
    "number (default), or title: by name in Vietnamese alphabetical order";
inline constexpr const char* kSearch =
    "Find songs by words of their name or titles, with or without marks";
inline constexpr const char* kSearchWords = "Words each song must hold, or their starts";
inline constexpr const char* kSearchLimit = "Print at most N songs, the best ones";
inline constexpr const char* kSearchFooter =
    "Names and titles are kept in $XDG_CACHE_HOME/kdb2mid (default ~/.cache/kdb2mid) and\n"
    "read again from there until a database file changes.\n"
    "Exit status: 0 with matches, 1 without or after a failure line, 2 for a usage error.";
inline constexpr const char* kSearchNoWords = "give words with letters or digits to search for";

// The exports: names, chorus-index, legacy
inline constexpr const char* kNames = "Write the song-name list to Output.txt (UTF-16)";
inline constexpr const char* kNamesFooter =
    "Reads DBDIR/name.idx and DBDIR/name.tab; writes OUTDIR/Output.txt, UTF-16LE with a\n"
    "byte-order mark, one line per song: its name, a tab, its number. A song without a\n"
    "name is reported as \"Skip SONG\".\n";
inline constexpr const char* kNamesOutput =
    "Folder Output.txt is written into (default: current folder)";
inline constexpr const char* kChorusIndex = "Write CRS&TCK.IDX as text to index.txt";
inline constexpr const char* kChorusIndexFooter =
    "Reads DBDIR/CRS&TCK.IDX; writes OUTDIR/index.txt, one line per entry: its part\n"
    "number, where its recording starts and ends in CHORUS.DAT (in 2048-byte units),\n"
    "each followed by a space.\n";
inline constexpr const char* kChorusIndexOutput =
    "Folder index.txt is written into (default: current folder)";
inline constexpr const char* kLegacy = "Extract one raw record of the older database";
// rootName: the folder the older database is looked for in without -C or --root.
std::string legacyFooter(std::string_view rootName);
std::string legacyRoot(std::string_view rootName);
inline constexpr const char* kLegacyCurrentFolder = "the current folder";
inline constexpr const char* kLegacyDatabase = "The older database's root folder, which holds 9703/";
inline constexpr const char* kLegacyOutput =
    "Folder SONG.dat is written into (default: current folder with -C, else the "
    "root)";

// songbook
inline constexpr const char* kSongbook =
    "Make a song book of every song: a PDF to print or a searchable HTML page";
inline constexpr const char* kSongbookOutput = "The book's file, ending in .pdf or .html";
std::string songbookTitle(std::string_view defaultTitle);
inline constexpr const char* kSongbookPaper = "The PDF's paper: a4 (default) or letter";
inline constexpr const char* kSongbookBy =
    "Its sections, in order: title, artist (the second title), number "
    "(default: title,artist)";
inline constexpr const char* kSongbookFormat = "pdf or html (default: from the FILE's ending)";
inline constexpr const char* kSongbookFooter =
    "Titles are sorted in Vietnamese alphabetical order (a ă â b c d đ e ê ...).\n"
    "The book is written whole or not at all.\n";
std::string notBookSections(std::string_view text);

}  // namespace kdb2mid::help
