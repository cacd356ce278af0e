#include "messages/messages.hpp"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <system_error>

#include "format/export_layout.hpp"

namespace kdb2mid {

namespace {

std::string songLine(std::string_view what, std::int32_t songNumber, std::string_view why) {
    std::string line(what);
    line += std::to_string(songNumber);
    line += ": ";
    line += why;
    return line;
}

}  // namespace

const char* describe(RecordError error) noexcept {
    switch (error) {
        case RecordError::none: return "no error";
        case RecordError::recordTooShort: return "record is shorter than its header";
        case RecordError::tableTooSmall: return "track table has fewer than two entries";
        case RecordError::tableOutsideRecord: return "track table runs past the end of the record";
        case RecordError::tooManyTracks: return "record has more than 65535 tracks";
        case RecordError::imageOverflow:
            return "compressed data expands to more than three times the record size";
        case RecordError::referenceBeforeStart:
            return "compressed data refers to bytes before the start of the song";
        case RecordError::tracksOutOfOrder:
            return "track offsets are out of order or beyond the decoded data";
        case RecordError::lyricLinePastImage: return "a lyric line runs past the end of the song data";
        case RecordError::textTooLong: return "a title or lyric is too long for a MIDI file";
    }
    return "unknown error";
}


const char* describe(RecordLookup::Outcome outcome) noexcept {
    switch (outcome) {
        case RecordLookup::Outcome::found: return "found";
        case RecordLookup::Outcome::empty: return "it has no record";
        case RecordLookup::Outcome::belowFirstSong: return "song numbers start at 21090";
        case RecordLookup::Outcome::pastIndexEnd: return "SONG.IDX has no entry for it";
        case RecordLookup::Outcome::endBeforeStart:
            return "its SONG.IDX entries end before they start";
        case RecordLookup::Outcome::pastDataEnd: return "its record runs past the end of SONG.DAT";
        case RecordLookup::Outcome::tooLarge:
            static_assert(kMaxRecordSize == std::uint64_t{64} << 20, "the phrase names the bound");
            return "its record is larger than any song can be (over 64 MiB)";
    }
    return "unknown";
}

const char* describeLegacy(RecordLookup::Outcome outcome) noexcept {
    using Outcome = RecordLookup::Outcome;
    switch (outcome) {
        case Outcome::found: return "found";
        case Outcome::empty:
        case Outcome::tooLarge: return describe(outcome);
        case Outcome::belowFirstSong: return "song numbers start at 21090";
        case Outcome::pastIndexEnd: return "song.idx has no entry for it";
        case Outcome::endBeforeStart: return "its song.idx entries end before they start";
        case Outcome::pastDataEnd: return "its record runs past the end of song.dat";
    }
    return "unknown";
}

#ifdef KDB2MID_HAVE_AUDIO
const char* describe(AudioError error) noexcept {
    switch (error) {
        case AudioError::none: return "no error";
        case AudioError::soundFontMissing: return "soundfont not found";
        case AudioError::notASoundFont: return "not a soundfont";
        case AudioError::soundFontRefused: return "soundfont cannot be loaded";
        case AudioError::synthFailed: return "synthesizer cannot be created";
        case AudioError::midiRefused: return "the synthesizer cannot play the MIDI file";
        case AudioError::songTooLong: return "song plays for more than an hour";
        case AudioError::formatUnsupported: return "audio format not supported by this libsndfile";
        case AudioError::encoderFailed: return "audio encoding failed";
    }
    return "unknown error";
}

namespace {

const char* describe(AudioStep step) noexcept {
    switch (step) {
        case AudioStep::none: return "";
        case AudioStep::noMidiHeader: return "no MIDI file header";
        case AudioStep::noTracks: return "no tracks in the MIDI file";
        case AudioStep::trackMissing: return "a track is missing from the MIDI file";
        case AudioStep::trackPastEnd: return "a track runs past the MIDI file's end";
        case AudioStep::formatUnwritable: return "";  // the error says it all
        case AudioStep::sampleRate: return "the audio is not at the format's sample rate";
        case AudioStep::startFile: return "cannot start the audio file";
        case AudioStep::setQuality: return "cannot set the encoder's quality";
        case AudioStep::encode: return "cannot encode the audio";
        case AudioStep::finishFile: return "cannot finish the audio file";
    }
    return "";
}

}  // namespace

std::string describe(const AudioStatus& status) {
    std::string text = describe(status.error);
    const std::string_view reason =
        status.outputFailed ? std::string_view("the output could not be written") : status.detail;
    for (const std::string_view part : {std::string_view(describe(status.step)), reason}) {
        if (!part.empty()) text += ": " + std::string(part);
    }
    return text;
}

std::string noDefaultSoundFont() {
    return std::string("no soundfont at ") + kDefaultSoundFont +
           ": give one with --soundfont FILE, or install the Debian package fluid-soundfont-gm";
}

std::string soundFontRefused(const std::filesystem::path& soundFont, const AudioStatus& status) {
    return "--soundfont " + displayName(soundFont) + ": " + describe(status);
}
std::string audioOptionHelp() {
    std::string names;
    for (AudioFormat format : kAudioFormats) {
        if (!audioFormatSupported(format)) continue;
        if (!names.empty()) names += "|";
        names += audioFormatName(format);
    }
    const bool all = audioFormatSupported(AudioFormat::mp3);
    return "Also render SONG." + names + " (44,100 Hz stereo" +
           (all ? ")" : "; this build's libsndfile cannot write MP3)");
}

#endif

namespace {

std::string twoDigits(long long value) {
    std::string text = std::to_string(value);
    if (text.size() < 2) text.insert(text.begin(), '0');
    return text;
}

}  // namespace

std::string formatDuration(double seconds) {
    if (!(seconds >= 0)) seconds = 0;  // also catches NaN
    seconds = std::min(seconds, 1e9);
    const auto total = static_cast<long long>(std::llround(seconds));
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    const std::string tail = twoDigits(total % 60);
    if (hours > 0) return std::to_string(hours) + ":" + twoDigits(minutes) + ":" + tail;
    return std::to_string(minutes) + ":" + tail;
}

std::string songsOutsideIndex(std::int32_t first, std::int32_t last, std::size_t count) {
    return "Range " + std::to_string(first) + "-" + std::to_string(last) + ": " +
           std::to_string(count) + " songs have no SONG.IDX entry";
}

std::string couldNotRead(std::string_view file) {
    return std::string(file) + " could not be read";
}

std::string systemReason(int error) { return std::generic_category().message(error); }

const char* databaseOpenFailure(SongDatabase::OpenError error) noexcept {
    switch (error) {
        case SongDatabase::OpenError::songIndex: return "Cannot open SONG.IDX";
        case SongDatabase::OpenError::songIndexNotFile: return "Cannot open SONG.IDX: not a regular file";
        case SongDatabase::OpenError::songDataNotFile: return "Cannot open SONG.DAT: not a regular file";
        case SongDatabase::OpenError::none:
        case SongDatabase::OpenError::songData: break;
    }
    return "Cannot open SONG.DAT";
}

std::string cannotOpenPhrase(std::string_view file, bool notRegularFile) {
    return notRegularFile ? std::string(file) + " is not a regular file"
                          : "cannot open " + std::string(file);
}

std::string notRegularFile(std::string_view file) {
    return "Cannot open " + std::string(file) + ": not a regular file";
}

namespace {

// Without -C the database was looked for where the command was run, which
// is seldom where it is: " in /home/an", and how to name the right folder.
std::string inCurrentFolder() {
    std::error_code failed;
    const std::filesystem::path here = std::filesystem::current_path(failed);
    return failed ? std::string() : " in " + displayName(here);
}
constexpr const char* kNameTheFolder = " (use -C FOLDER to name the database folder)";

}  // namespace

std::string databaseOpenFailure(SongDatabase::OpenError error, const std::filesystem::path& folder) {
    const bool index = error == SongDatabase::OpenError::songIndex ||
                       error == SongDatabase::OpenError::songIndexNotFile;
    const bool notFile = error == SongDatabase::OpenError::songIndexNotFile ||
                         error == SongDatabase::OpenError::songDataNotFile;
    const char* file = index ? kSongIndexFile : kSongDataFile;
    if (!folder.empty()) {
        std::string line = "Cannot open " + displayName(folder / file);
        if (notFile) line += ": not a regular file";
        return line;
    }
    if (notFile) return databaseOpenFailure(error);
    return std::string("Cannot open ") + file + inCurrentFolder() + kNameTheFolder;
}

std::string databaseFileMissing(const std::filesystem::path& file) {
    return "Cannot open " + displayName(file) + inCurrentFolder() + ": " + systemReason(ENOENT) +
           kNameTheFolder;
}

std::string cannotOpenInput(const std::filesystem::path& path, int error) {
    std::string line = "Cannot open " + displayName(path);
    if (error != 0) line += ": " + systemReason(error);
    return line;
}

std::string cannotOpenForWriting(const std::filesystem::path& path) {
    return "Cannot open file " + displayName(path) + " for writing";
}

std::string songNameNotice(const SongNameNotice& notice) {
    const std::string song = std::to_string(notice.song);
    switch (notice.kind) {
        case SongNameNotice::Kind::skipped: return "Skip " + song;
        case SongNameNotice::Kind::entryBelowPrevious:
            return "Cannot export the name of song " + song +
                   ": the name.idx entry after it lies below its own";
        case SongNameNotice::Kind::namePastTableEnd:
            return "Cannot export the name of song " + song +
                   ": it runs past the end of name.tab";
        case SongNameNotice::Kind::nameTooLong:
            return "Cannot export the name of song " + song + ": it is longer than " +
                   std::to_string(kMaxNameBytes) + " bytes";
        case SongNameNotice::Kind::indexEnds:
            return "Cannot export the names from song " + song + " on: name.idx ends before them";
    }
    return {};
}

std::string outputFailure(const std::filesystem::path& path, const OutputFailure& failure) {
    if (failure.step != OutputFailure::Step::write) return cannotOpenForWriting(path);
    std::string line = "Cannot write file " + displayName(path);
    if (failure.error != 0) line += ": " + systemReason(failure.error);
    return line;
}

std::string cannotConvert(std::int32_t songNumber, std::string_view why) {
    return songLine("Cannot convert song ", songNumber, why);
}

std::string cannotReadSong(std::int32_t songNumber, std::string_view why) {
    return songLine("Cannot read song ", songNumber, why);
}

std::string cannotExtract(std::int32_t songNumber, std::string_view why) {
    return songLine("Cannot extract song ", songNumber, why);
}

std::string cannotExportChorus(std::int32_t songNumber, std::string_view why) {
    return songLine("Cannot export chorus of song ", songNumber, why);
}

std::string cannotExportChorusPart(std::int32_t songNumber, std::uint32_t partNumber,
                                   std::string_view why) {
    // The part number is shown signed, as in the recording's file name.
    return "Cannot export chorus part " + std::to_string(static_cast<std::int32_t>(partNumber)) +
           songLine(" of song ", songNumber, why);
}

std::string cannotRead(std::string_view file) { return "Cannot read " + std::string(file); }

std::string soundOptionUnused(std::string_view option, std::span<const std::string_view> outputs) {
    std::string line = std::string(option) + " needs ";
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (i > 0) line += i + 1 == outputs.size() ? " or " : ", ";
        line += outputs[i];
    }
    return line;
}

std::string cannotCreateFolder(const std::filesystem::path& path, int error) {
    std::string line = "Cannot create folder " + displayName(path);
    if (error != 0) line += ": " + systemReason(error);
    return line;
}

std::string songNamesMissing(const std::filesystem::path& folder, bool nameIndexPresent,
                             bool nameTablePresent) {
    std::string missing;
    if (!nameIndexPresent) missing = displayName(folder / kNameIndexFile);
    if (!nameTablePresent) {
        if (!missing.empty()) missing += " and ";
        missing += displayName(folder / kNameTableFile);
    }
    return missing + (nameIndexPresent || nameTablePresent ? " is" : " are") +
           " missing: songs are listed under their first title";
}

std::string cannotRender(std::int32_t songNumber, std::string_view why) {
    return "Cannot render song " + std::to_string(songNumber) + ": " + std::string(why);
}

std::string cannotDrawLyrics(std::int32_t songNumber, const std::filesystem::path& font,
                             std::string_view why) {
    return "Cannot draw the lyrics of song " + std::to_string(songNumber) + ": font " +
           displayName(font) + ": " + std::string(why);
}

std::string fontMissing(std::string_view package) {
    return "no such file (Debian package " + std::string(package) + ")";
}

std::string mp3gUnavailable(std::string_view option, bool opus) {
    if (opus) {
        return std::string(option) + " writes 44,100 Hz MP3, which cannot share a render with " +
               "--audio opus (48,000 Hz): choose another --audio format";
    }
    return std::string(option) + " needs MP3, which this build's libsndfile cannot write";
}

std::string zipTooLarge(const std::filesystem::path& path) {
    return "Cannot write " + displayName(path) + ": a zip file holds less than 4 GiB";
}

std::string silentSongNotice(std::int32_t songNumber) {
    return "Song " + std::to_string(songNumber) + ": no note sounds; its audio is silence";
}

std::string loudnessHeldNotice(std::int32_t songNumber, double reached, double target) {
    char text[160];
    std::snprintf(text, sizeof text,
                  "Song %d: the -1 dBTP true-peak ceiling holds it at %.1f LUFS, not the %g asked for",
                  static_cast<int>(songNumber), reached, target);
    return text;
}

std::string loudnessRefused(std::string_view given, double lowest, double highest) {
    const auto whole = [](double value) { return std::to_string(static_cast<int>(value)); };
    return "--loudness takes a loudness in LUFS from " + whole(lowest) + " to " + whole(highest) +
           ", or off, not \"" + std::string(given) + "\"";
}

std::string noMelodyNotice(std::int32_t songNumber, double bestCoverage, bool ultrastar,
                           bool parts) {
    const int percent = static_cast<int>(bestCoverage * 100 + 0.5);
    std::string line = "Song " + std::to_string(songNumber) +
                       ": no track plays the melody (the best starts a note with " +
                       std::to_string(percent) + "% of the words)";
    line += ultrastar ? "; its UltraStar notes are freestyle" : "; every track is rendered";
    if (parts) line += "; no instrumental or guide melody is written";
    return line;
}

std::string noLyricsToSplitNotice(std::int32_t songNumber) {
    return "Song " + std::to_string(songNumber) +
           ": without lyrics no track is the melody; no instrumental or guide melody is written";
}

std::string sharedMelodyNotice(std::int32_t songNumber) {
    return "Song " + std::to_string(songNumber) +
           ": the melody's track also plays accompaniment; its guide melody holds the whole track";
}

std::string partsWithMutedMelody(std::string_view parts, std::string_view muted) {
    return std::string(parts) + " writes the instrumental beside the full song; leave out " +
           std::string(muted);
}

std::string chorusIndexEndsBefore(std::uint64_t entry) {
    return "CRS&TCK.IDX ends before entry " + std::to_string(entry);
}

std::string unknownNameField(std::string_view field) {
    return "unknown field " + std::string(field) + " (use {song}, {title} or {artist})";
}

std::string audioFormatUnsupported(std::string_view format, std::string_view choices) {
    return "this build's libsndfile cannot write " + std::string(format) + "; choose " +
           std::string(choices);
}

std::string unknownOption(std::string_view typed, std::string_view nearest) {
    std::string line = "unknown option " + std::string(typed);
    if (!nearest.empty()) line += "; did you mean " + std::string(nearest) + "?";
    return line;
}

namespace {

const char* engineName(ShardEngine engine) noexcept {
    switch (engine) {
        case ShardEngine::kubernetes: return "the Kubernetes Indexed Job";
        case ShardEngine::parallel: return "GNU parallel";
        case ShardEngine::slurm: break;
    }
    return "the Slurm job array";
}

}  // namespace

std::string autoShardNotice(const AutoShard& shard) {
    return "shard " + std::to_string(shard.shard.index) + "/" + std::to_string(shard.shard.count) +
           " from " + engineName(shard.engine) + " (" + shard.variable + "=" + shard.value + ")";
}

std::string autoShardRefused(const AutoShard& shard) {
    const std::string setting = shard.variable + "=" + shard.value;
    std::string line = "--shard auto: ";
    switch (shard.problem) {
        case AutoShard::Problem::noEngine:
            return line +
                   "no Slurm job array, Kubernetes Indexed Job or GNU parallel started this run "
                   "(SLURM_ARRAY_TASK_ID, JOB_COMPLETION_INDEX and PARALLEL_SEQ are unset); "
                   "give --shard I/N";
        case AutoShard::Problem::noCount:
            return line + engineName(shard.engine) + " (" + setting +
                   ") does not say how many shards there are; give --shard auto/N or set "
                   "KDB2MID_SHARD_COUNT";
        case AutoShard::Problem::notANumber: return line + setting + " is not a number";
        case AutoShard::Problem::outOfRange:
            return line + setting + " is no shard from 1 to " + std::to_string(shard.shard.count);
        case AutoShard::Problem::none: break;
    }
    return line + autoShardNotice(shard);
}

std::string melodyPhrase(int track, std::size_t words, std::size_t covered) {
    if (words == 0) return "none (no words to sing)";
    const std::string percent = std::to_string(covered * 100 / words) + "%";
    if (track == 0) return "none found (best track covers " + percent + " of words)";
    return "track " + std::to_string(track) + ", " + std::to_string(covered) + " of " +
           std::to_string(words) + " words (" + percent + ")";
}

}  // namespace kdb2mid
