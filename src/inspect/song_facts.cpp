#include "inspect/song_facts.hpp"

#include <algorithm>
#include <cmath>

#include "export/timed_lyrics.hpp"
#include "format/database_layout.hpp"
#include "format/export_layout.hpp"
#include "format/vni_text.hpp"
#include "inspect/melody.hpp"
#include "messages/messages.hpp"
#include "midi/tempo_map.hpp"

namespace kdb2mid {

namespace {

std::vector<ChorusPartFacts> chorusParts(std::int32_t songNumber, ChorusRequest request,
                                         const ChorusFacts& chorus) {
    std::vector<ChorusPartFacts> parts;
    const std::size_t whole =
        std::min<std::size_t>(request.count, chorus.entries.size() / kChorusEntrySize);
    for (std::size_t i = 0; i < whole; ++i) {
        const ChorusIndexEntry entry =
            parseChorusIndexEntry(chorus.entries.subspan(i * kChorusEntrySize, kChorusEntrySize));
        ChorusPartFacts part;
        part.part = entry.partNumber;
        if (entry.end < entry.start) {
            part.problem = ChorusPartProblem::endBeforeStart;
        } else {
            part.bytes = kChorusDataUnit * (entry.end - entry.start);
            part.file = chorusFileName(std::to_string(songNumber), entry.partNumber);
            if (!chorus.dataSize) {
                part.problem = ChorusPartProblem::dataMissing;
            } else if (kChorusDataUnit * entry.end > *chorus.dataSize) {
                part.problem = ChorusPartProblem::pastDataEnd;
            }
        }
        parts.push_back(std::move(part));
    }
    return parts;
}

MelodyFacts melodyFacts(const DecodedSong& song) {
    const TimedLyrics lyrics = timedLyrics(song.imageBytes(), song.lyrics);
    std::vector<std::vector<Note>> notes;
    const MelodyChoice choice = songMelody(song, lyrics, notes);
    MelodyFacts melody;
    melody.track = choice.track >= 0 ? choice.track + 1 : 0;
    melody.words = wordCount(lyrics);
    // coverage is covered / words, so this gives the count back exactly.
    melody.covered = static_cast<std::size_t>(
        std::llround(choice.coverage * static_cast<double>(melody.words)));
    return melody;
}

// The song's CRS&TCK.IDX entries, as many as the file holds of them.
std::vector<std::uint8_t> readChorusEntries(const RandomAccessFile& index, ChorusRequest request) {
    const std::uint64_t start = kChorusEntrySize * request.firstEntry;
    if (start >= index.size()) return {};
    const std::uint64_t wanted = kChorusEntrySize * request.count;
    std::vector<std::uint8_t> bytes(
        static_cast<std::size_t>(std::min(wanted, index.size() - start)));
    if (!index.readAt(start, bytes)) return {};
    return bytes;
}

}  // namespace

RecordError gatherSongFacts(std::int32_t songNumber, std::span<const std::uint8_t> record,
                            const ChorusFacts& chorus, DecodedSong& work, SongFacts& facts) {
    if (record.size() <= kRecordChorusIndexOffset + 1) return RecordError::recordTooShort;
    const RecordError error = decodeSong(record, work);
    if (error != RecordError::none) return error;

    const LyricBlock& lyrics = work.lyrics;
    SongFacts out;
    out.song = songNumber;
    out.recordBytes = record.size();
    out.imageBytes = work.imageBytes().size();
    out.tracks = work.dataTrackCount();
    const SongTiming timing = songTiming(work.imageBytes(), work.table, lyrics);
    out.ticks = timing.endTick;
    out.seconds = timing.lengthSeconds();
    for (const TextRef& title : lyrics.titles) {
        const auto text = work.text(title);
        out.titles.emplace_back(text.begin(), text.end());
        out.twoByteLetters = out.twoByteLetters || hasEncodedLetters(text);
    }
    out.lyricLineCount = lyrics.lineCount;
    out.lyricEvents = lyrics.events.size();
    // A line's events follow its first one.
    std::size_t next = 0;
    while (next < lyrics.events.size()) {
        std::vector<std::uint8_t>& line = out.lyricLines.emplace_back();
        do {
            const auto part = work.text(lyrics.events[next].text);
            line.insert(line.end(), part.begin(), part.end());
            out.twoByteLetters = out.twoByteLetters || hasEncodedLetters(part);
            ++next;
        } while (next < lyrics.events.size() && !lyrics.events[next].firstInLine);
    }
    if (const std::optional<ChorusRequest> request = chorusRequest(record)) {
        out.chorusCount = request->count;
        out.chorusFirstEntry = request->firstEntry;
        out.chorusIndexOpen = chorus.indexOpen;
        out.chorusDataOpen = chorus.dataSize.has_value();
        if (chorus.indexOpen) out.chorusParts = chorusParts(songNumber, *request, chorus);
    }
    out.melody = melodyFacts(work);
    facts = std::move(out);
    return RecordError::none;
}

std::string readSongFacts(const SongDatabase& database, std::int32_t songNumber, SongFacts& facts) {
    const RecordLookup where = database.locate(songNumber);
    if (where.outcome != RecordLookup::Outcome::found) return describe(where.outcome);
    std::vector<std::uint8_t> record;
    if (!database.readRecord(where, record)) return couldNotRead(kSongDataFile);

    ChorusFacts chorus;
    std::vector<std::uint8_t> chorusEntries;
    const bool hasHeader = record.size() > kRecordChorusIndexOffset + 1;
    if (const auto request = hasHeader ? chorusRequest(record) : std::nullopt) {
        if (const RandomAccessFile* index = database.chorusIndex()) {
            chorus.indexOpen = true;
            chorusEntries = readChorusEntries(*index, *request);
            chorus.entries = chorusEntries;
        }
        if (const RandomAccessFile* data = database.chorusData()) chorus.dataSize = data->size();
    }
    DecodedSong song;
    const RecordError error = gatherSongFacts(songNumber, record, chorus, song, facts);
    return error == RecordError::none ? std::string{} : describe(error);
}

}  // namespace kdb2mid
