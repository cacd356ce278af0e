// Every failure and notice as the line the user reads. The libraries below
// return what went wrong as values (RecordError, lookup outcomes, notices,
// OutputFailure); this is the one place that words them. Lines come without
// a line end; the command line prints them.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "export/legacy_record.hpp"
#include "export/song_names.hpp"
#include "format/database_layout.hpp"
#include "format/record_error.hpp"
#include "io/file_io.hpp"
#include "io/shard_environment.hpp"
#include "io/song_database.hpp"

#ifdef KDB2MID_HAVE_AUDIO
#include "audio/audio_format.hpp"
#include "audio/song_renderer.hpp"
#endif

namespace kdb2mid {

// Phrases for the end of a line, lower case: "record is shorter than its
// header", "it has no record", "song.idx has no entry for it", ...
const char* describe(RecordError error) noexcept;
const char* describe(RecordLookup::Outcome outcome) noexcept;
// The same for the older database's song.idx and song.dat.
const char* describeLegacy(RecordLookup::Outcome outcome) noexcept;

#ifdef KDB2MID_HAVE_AUDIO
// A short lower-case phrase for a rendering failure, e.g. "not a soundfont".
const char* describe(AudioError error) noexcept;
// The error's phrase, then the failed step's and what the library said:
// "audio encoding failed: cannot finish the audio file: the output could not
// be written".
std::string describe(const AudioStatus& status);
// "no soundfont at <default>: give one with --soundfont FILE, or install ..."
std::string noDefaultSoundFont();
// "--soundfont <file>: <why>[: <detail>]"
std::string soundFontRefused(const std::filesystem::path& soundFont, const AudioStatus& status);
// --audio's line in the help: the formats this build writes, e.g. "Also
// render SONG.wav|flac|ogg|opus|mp3 (44,100 Hz stereo)".
std::string audioOptionHelp();
#endif

// Minutes and seconds, with hours in front from one hour on: "0:07", "1:02:03".
std::string formatDuration(double seconds);

// "Range FROM-TO: N songs have no SONG.IDX entry"
std::string songsOutsideIndex(std::int32_t first, std::int32_t last, std::size_t count);

// "<file> could not be read", as a phrase.
std::string couldNotRead(std::string_view file);

// The system's wording of an errno value: "No space left on device".
std::string systemReason(int error);

// Lines the database's own tools printed, kept word for word.
// "Cannot open SONG.IDX" or "Cannot open SONG.DAT", with ": not a regular
// file" when a FIFO, a device or a folder has the name.
const char* databaseOpenFailure(SongDatabase::OpenError error) noexcept;
// The same naming the file with its folder when one is given:
// "Cannot open /media/usb/SONG.IDX"; without one (no -C), where it was
// looked for and how to name another folder: "Cannot open SONG.IDX in
// /home/an (use -C FOLDER to name the database folder)".
std::string databaseOpenFailure(SongDatabase::OpenError error, const std::filesystem::path& folder);
// "Cannot open <path>: <reason>", the line beside kCannotOpenInput that says
// which input and why.
std::string cannotOpenInput(const std::filesystem::path& path, int error);
// The same for a database file missing where it was looked for without -C:
// "Cannot open name.tab in /home/an: No such file or directory (use -C
// FOLDER to name the database folder)".
std::string databaseFileMissing(const std::filesystem::path& file);
// Why an input did not open, as a phrase: "cannot open CHORUS.DAT" or
// "CHORUS.DAT is not a regular file".
std::string cannotOpenPhrase(std::string_view file, bool notRegularFile);
// "Cannot open name.tab: not a regular file"
std::string notRegularFile(std::string_view file);
// A missing input of the song-name list or of the legacy extraction.
inline constexpr const char* kCannotOpenInput = "Failed to open file";
// "Cannot open file <path> for writing"
std::string cannotOpenForWriting(const std::filesystem::path& path);
// "Skip 50006", or why a name could not be exported.
std::string songNameNotice(const SongNameNotice& notice);

// The line for an output that did not come to be: "Cannot open file <path>
// for writing" when it could not be created or put in place under its name
// (a folder has the name, or its folder refuses it), "Cannot write file
// <path>: <reason>" when writing it failed.
std::string outputFailure(const std::filesystem::path& path, const OutputFailure& failure);

// Lines of this tool's own: a prefix for the song and the phrase why.
std::string cannotConvert(std::int32_t songNumber, std::string_view why);  // "Cannot convert song N: "
std::string cannotReadSong(std::int32_t songNumber, std::string_view why);  // info
std::string cannotExtract(std::int32_t songNumber, std::string_view why);   // legacy
std::string cannotExportChorus(std::int32_t songNumber, std::string_view why);
// "Cannot render song N: <why>"
std::string cannotRender(std::int32_t songNumber, std::string_view why);
// "Cannot draw the lyrics of song N: font <path>: <why>"
std::string cannotDrawLyrics(std::int32_t songNumber, const std::filesystem::path& font,
                             std::string_view why);
// Why a font cannot be read when its file is not there: "no such file
// (Debian package <package>)".
std::string fontMissing(std::string_view package);
// The usage error for --cdg or --cdg-zip where the MP3 of the pair cannot be
// written: this build's libsndfile has no MP3 encoder, or --audio opus asks
// for audio at Opus's 48 kHz.
std::string mp3gUnavailable(std::string_view option, bool opus);
// "Cannot write <path>: a zip file holds less than 4 GiB"
std::string zipTooLarge(const std::filesystem::path& path);
// "Song N: no note sounds; its audio is silence": written all the same.
std::string silentSongNotice(std::int32_t songNumber);
// "Song 50004: the -1 dBTP true-peak ceiling holds it at -10.7 LUFS, not the
// -9 asked for": a loud target the song's peaks leave no room for.
std::string loudnessHeldNotice(std::int32_t songNumber, double reached, double target);
// The usage error for a --loudness that is neither off nor a level between
// lowest and highest LUFS.
std::string loudnessRefused(std::string_view given, double lowest, double highest);
// A song whose lyrics no track follows closely enough to be its melody;
// parts: its guide melody was asked for apart (--stems).
std::string noMelodyNotice(std::int32_t songNumber, double bestCoverage, bool ultrastar,
                           bool parts = false);
// "Song N: without lyrics no track is the melody; its audio is not split":
// --stems for a song without lyric lines.
std::string noLyricsToSplitNotice(std::int32_t songNumber);
// A melody track that also plays accompaniment: chords, or notes on a
// channel another track plays too. Its guide holds the whole track.
std::string sharedMelodyNotice(std::int32_t songNumber);
// The usage error for --stems together with --mute-melody.
std::string partsWithMutedMelody(std::string_view parts, std::string_view muted);
std::string cannotExportChorusPart(std::int32_t songNumber, std::uint32_t partNumber,
                                   std::string_view why);
// What can be wrong with a chorus recording's CRS&TCK.IDX entry, as phrases.
inline constexpr const char* kChorusEndBeforeStart = "its end lies before its start";
inline constexpr const char* kChorusPastDataEnd = "runs past the end of CHORUS.DAT";
inline constexpr const char* kChorusDataMissing = "CHORUS.DAT cannot be opened";
inline constexpr const char* kChorusIndexMissing = "CRS&TCK.IDX cannot be opened";
// info's answer for a song whose text holds two-byte letters.
inline constexpr const char* kTwoByteLettersYes = "yes (--lyrics utf8 writes them as UTF-8)";
// A song's melody track as info shows it (track 0: none qualifies): "track
// 2, 7 of 7 words (100%)", "none found (best track covers 40% of words)" or
// "none (no words to sing)".
std::string melodyPhrase(int track, std::size_t words, std::size_t covered);
// "CRS&TCK.IDX ends before entry N"
std::string chorusIndexEndsBefore(std::uint64_t entry);
// "Cannot read name.idx"
std::string cannotRead(std::string_view file);
// A usage error: "this build's libsndfile cannot write mp3; choose wav,
// flac, ogg or opus" (choices: "wav, flac, ogg or opus").
std::string audioFormatUnsupported(std::string_view format, std::string_view choices);
// "--soundfont needs --audio or --ultrastar": a sound option given without
// an output that renders sound (outputs: the options that do).
std::string soundOptionUnused(std::string_view option, std::span<const std::string_view> outputs);
// "Cannot create folder <path>: <reason>"; without the reason when error is 0.
std::string cannotCreateFolder(const std::filesystem::path& path, int error);
// Why a --name pattern is refused.
inline constexpr const char* kNamePatternEmpty = "the name pattern is empty";
inline constexpr const char* kNamePatternCloseWithoutOpen = "a \"}\" without its \"{\"";
inline constexpr const char* kNamePatternOpenWithoutClose = "a \"{\" without its \"}\"";
// "unknown field {x} (use {song}, {title} or {artist})"
std::string unknownNameField(std::string_view field);
// "<folder>/name.tab is missing: songs are listed under their first title":
// `list` and `search` name songs from name.idx and name.tab when they open.
std::string songNamesMissing(const std::filesystem::path& folder, bool nameIndexPresent,
                             bool nameTablePresent);
// "unknown option --vidoe; did you mean --video?" (without the question
// when nearest is empty).
std::string unknownOption(std::string_view typed, std::string_view nearest);

// --shard auto: "shard 3/16 from the Slurm job array (SLURM_ARRAY_TASK_ID=2)",
// or why the environment names no shard.
std::string autoShardNotice(const AutoShard& shard);
std::string autoShardRefused(const AutoShard& shard);

// Search could not hold the names and titles of every song.
inline constexpr const char* kCatalogueTooLarge =
    "Not enough memory to hold the names and titles of every song";

}  // namespace kdb2mid
