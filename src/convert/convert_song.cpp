#include "convert/convert_song.hpp"

#include <algorithm>
#include <new>
#include <system_error>

#include "convert/file_names.hpp"
#include "convert/outputs.hpp"
#include "format/vni_text.hpp"
#include "io/interruption.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

// Copies one recording; returns the message for a failure, empty on success.
std::string copyRecording(const RandomAccessFile& data, const ChorusIndexEntry& entry,
                          std::int32_t songNumber, std::string_view stem,
                          const std::filesystem::path& outFolder,
                          std::vector<std::uint8_t>& buffer) {
    const auto partFailure = [&](std::string_view why) {
        return cannotExportChorusPart(songNumber, entry.partNumber, why);
    };
    if (entry.end < entry.start) return partFailure(kChorusEndBeforeStart);
    const std::uint64_t start = kChorusDataUnit * entry.start;
    const std::uint64_t end = kChorusDataUnit * entry.end;
    if (end > data.size()) return partFailure(std::string("it ") + kChorusPastDataEnd);

    const std::filesystem::path path =
        outputPath(outFolder, chorusFileName(stem, entry.partNumber));
    AtomicOutputFile out;
    if (!out.open(path)) return outputFailure(path, out.failure());
    if (!copyRange(data, start, end, out, buffer)) return partFailure(couldNotRead(kChorusDataFile));
    if (!out.commit()) return outputFailure(path, out.failure());
    return {};
}

}  // namespace

std::string midiFileName(std::int32_t songNumber) { return std::to_string(songNumber) + ".mid"; }
std::string karaokeFileName(std::int32_t songNumber) { return std::to_string(songNumber) + ".kar"; }

bool ConvertOptions::wantsAudio() const { return wantsRenderedAudio(*this); }

std::filesystem::path outputPath(const std::filesystem::path& folder, const std::string& name) {
    return folder.empty() ? std::filesystem::path(name) : folder / name;
}

bool exportChorusParts(const SongDatabase& database, ChorusRequest request,
                       std::int32_t songNumber, std::string_view stem,
                       const std::filesystem::path& outFolder, ConvertWorkspace& work,
                       SongResult& result) {
    const RandomAccessFile* index = database.chorusIndex();
    if (index == nullptr) {
        result.fail(cannotExportChorus(
            songNumber, cannotOpenPhrase(kChorusIndexFile, database.chorusIndexNotFile())));
        return false;
    }
    const RandomAccessFile* data = database.chorusData();
    if (data == nullptr) {
        result.fail(cannotExportChorus(
            songNumber, cannotOpenPhrase(kChorusDataFile, database.chorusDataNotFile())));
        return false;
    }
    bool ok = true;
    for (unsigned i = 0; i < request.count; ++i) {
        const std::uint64_t number = std::uint64_t{request.firstEntry} + i;
        std::uint8_t bytes[kChorusEntrySize];
        if (!index->readAt(number * kChorusEntrySize, bytes)) {
            result.fail(cannotExportChorus(songNumber, chorusIndexEndsBefore(number)));
            return false;
        }
        std::string failure = copyRecording(*data, parseChorusIndexEntry(bytes), songNumber,
                                            stem, outFolder, work.copyBuffer);
        if (!failure.empty()) {
            result.fail(std::move(failure));
            ok = false;
        }
    }
    return ok;
}

std::vector<std::uint32_t> chorusPartNumbers(const SongDatabase& database, ChorusRequest request) {
    std::vector<std::uint32_t> parts;
    const RandomAccessFile* index = database.chorusIndex();
    if (index == nullptr) return parts;
    for (unsigned i = 0; i < request.count; ++i) {
        std::uint8_t bytes[kChorusEntrySize];
        const std::uint64_t number = std::uint64_t{request.firstEntry} + i;
        if (!index->readAt(number * kChorusEntrySize, bytes)) break;
        parts.push_back(parseChorusIndexEntry(bytes).partNumber);
    }
    return parts;
}

std::map<std::int32_t, std::string> nameSongFiles(const SongDatabase& database,
                                                  std::span<const std::int32_t> songs,
                                                  std::string_view pattern,
                                                  const ConvertOptions& options) {
    const bool titled = patternUsesTitles(pattern);
    std::vector<std::string> stems;
    std::vector<std::vector<std::string>> suffixes;
    stems.reserve(songs.size());
    suffixes.reserve(songs.size());
    std::vector<std::uint8_t> record;
    DecodedSong song;
    for (const std::int32_t number : songs) {
        NameFields fields;
        fields.song = number;
        std::vector<std::uint32_t> parts;
        const RecordLookup where = database.locate(number);
        if (where.outcome == RecordLookup::Outcome::found && database.readRecord(where, record)) {
            // The chorus test reads header bytes 0 to 5, as the conversion does.
            const auto chorus = record.size() > kRecordChorusIndexOffset + 1
                                    ? chorusRequest(record)
                                    : std::nullopt;
            if (chorus) parts = chorusPartNumbers(database, *chorus);
            if (titled && decodeSong(record, song) == RecordError::none) {
                const std::vector<TextRef>& titles = song.lyrics.titles;
                if (!titles.empty()) fields.title = decodeVniToUtf8(song.text(titles[0]));
                if (titles.size() > 1) fields.artist = decodeVniToUtf8(song.text(titles[1]));
            }
        }
        stems.push_back(fileStem(pattern, fields));
        suffixes.push_back(songFileSuffixes(options, parts));
    }
    const std::vector<std::string> distinct = distinctStems(stems, suffixes);
    std::map<std::int32_t, std::string> named;
    for (std::size_t i = 0; i < songs.size(); ++i) named.emplace(songs[i], distinct[i]);
    return named;
}

std::string fileStemFor(const ConvertOptions& options, std::int32_t songNumber) {
    const auto named = options.fileStems.find(songNumber);
    return named != options.fileStems.end() ? named->second : std::to_string(songNumber);
}

namespace {

SongResult convertUnguarded(const SongDatabase& database, std::int32_t songNumber,
                            const std::filesystem::path& outFolder, const ConvertOptions& options,
                            ConvertWorkspace& work) {
    SongResult result;
    const RecordLookup where = database.locate(songNumber, work.index);
    if (where.outcome == RecordLookup::Outcome::empty) {
        result.outcome = SongResult::Outcome::skipped;
        result.messages.push_back(cannotConvert(songNumber, describe(where.outcome)));
        return result;
    }
    if (where.outcome != RecordLookup::Outcome::found) {
        result.fail(cannotConvert(songNumber, describe(where.outcome)));
        return result;
    }
    if (!database.readRecord(where, work.record)) {
        result.fail(cannotConvert(songNumber, couldNotRead(kSongDataFile)));
        return result;
    }
    const std::span<const std::uint8_t> record = work.record;
    // The chorus test reads header bytes 0 to 5; a record without them is refused whole.
    if (record.size() <= kRecordChorusIndexOffset + 1) {
        result.fail(cannotConvert(songNumber, describe(RecordError::recordTooShort)));
        return result;
    }

    // Decoded once and adjusted once; every file of the song is written from work.song.
    const RecordError decoded = decodeSong(record, work.song);
    SongContext song(songNumber, fileStemFor(options, songNumber), outFolder, options, work, result,
                     decoded);
    if (song.decoded == RecordError::none && options.changesNotes()) {
        adjustTracks(work.song, options.transpose, options.tempoPercent);
    }
    const std::optional<ChorusRequest> chorus = chorusRequest(record);
    planOutputs(song);
    // --resume: each output whose files all exist is left as it is; the
    // song counts as done when every one is.
    bool chorusDone = false;
    if (options.resume && song.decoded == RecordError::none) {
        const bool outputsDone = markFinishedOutputs(song);
        chorusDone = chorus && chorusFilesExist(song, database, *chorus);
        if (outputsDone && (!chorus || chorusDone)) {
            result.alreadyDone = true;
            result.withoutLyrics = lyricsMissing(song);
            return result;
        }
    }
    if (writeOutputs(song)) result.withoutLyrics = lyricsMissing(song);

    // As in the database's own tools, the chorus recordings are exported even
    // when the MIDI file could not be written: they do not depend on it.
    if (chorus && !chorusDone) {
        exportChorusParts(database, *chorus, songNumber, song.stem, outFolder, work, result);
    }
    return result;
}

}  // namespace

SongResult convertSong(const SongDatabase& database, std::int32_t songNumber,
                       const std::filesystem::path& outFolder, const ConvertOptions& options,
                       ConvertWorkspace& work) {
    try {
        SongResult result = convertUnguarded(database, songNumber, outFolder, options, work);
        if (result.outcome == SongResult::Outcome::failed && interrupted()) {
            result.outcome = SongResult::Outcome::interrupted;
            result.messages.clear();
        }
        return result;
    } catch (const std::bad_alloc&) {
        // The outputs in progress were abandoned as the exception left them;
        // the buffers go too, so that the next song starts from nothing.
        work = ConvertWorkspace{};
        SongResult result;
        result.fail(cannotConvert(songNumber, "out of memory"));
        return result;
    }
}

}  // namespace kdb2mid
