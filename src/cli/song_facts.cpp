#include "cli/song_facts.hpp"

#include <algorithm>
#include <vector>

#include "cli/song_melody.hpp"
#include "convert/convert_song.hpp"
#include "midi/tempo_map.hpp"
#include "format/database_layout.hpp"
#include "midi/midi_format.hpp"
#include "format/vni_text.hpp"

namespace kdb2mid {

namespace {

std::vector<ChorusPartFacts> chorusParts(std::int32_t songNumber,
                                         std::span<const std::uint8_t> record,
                                         const ChorusFacts& chorus) {
    std::vector<ChorusPartFacts> parts;
    const std::optional<ChorusRequest> request = chorusRequest(record);
    if (!request || !chorus.indexOpen) return parts;
    const std::size_t whole =
        std::min<std::size_t>(request->count, chorus.entries.size() / kChorusEntrySize);
    for (std::size_t i = 0; i < whole; ++i) {
        const ChorusIndexEntry entry =
            parseChorusIndexEntry(chorus.entries.subspan(i * kChorusEntrySize, kChorusEntrySize));
        ChorusPartFacts part;
        part.part = entry.partNumber;
        if (entry.end < entry.start) {
            part.problem = "its end lies before its start";
        } else {
            part.bytes = kChorusDataUnit * (entry.end - entry.start);
            part.file = chorusFileName(songNumber, entry.partNumber);
            if (!chorus.dataSize) {
                part.problem = "CHORUS.DAT cannot be opened";
            } else if (kChorusDataUnit * entry.end > *chorus.dataSize) {
                part.problem = "runs past the end of CHORUS.DAT";
            }
        }
        parts.push_back(std::move(part));
    }
    return parts;
}

}  // namespace

RecordError gatherSongFacts(std::int32_t songNumber, std::span<const std::uint8_t> record,
                            const ChorusFacts& chorus, DecodedSong& work, SongFacts& facts) {
    if (record.size() <= kRecordChorusIndexOffset + 1) return RecordError::recordTooShort;
    const RecordError error = decodeSong(record, work);
    if (error != RecordError::none) return error;

    const std::span<const std::uint8_t> image = work.image.bytes();
    const LyricBlock& lyrics = work.lyrics;
    SongFacts out;
    out.song = songNumber;
    out.tracks = work.dataTrackCount();

    const SongTiming timing = songTiming(image, work.table, lyrics);
    out.ticks = timing.endTick;
    out.seconds = timing.lengthSeconds();

    for (const TextRef& title : lyrics.titles) {
        out.titles.push_back(decodeVniToUtf8(textBytes(image, title)));
    }
    // A line's events follow its first one.
    std::vector<std::uint8_t> stored;
    std::size_t next = 0;
    while (next < lyrics.events.size()) {
        stored.clear();
        do {
            const auto part = textBytes(image, lyrics.events[next].text);
            stored.insert(stored.end(), part.begin(), part.end());
            ++next;
        } while (next < lyrics.events.size() && !lyrics.events[next].firstInLine);
        std::string line = decodeVniToUtf8(stored);
        line.erase(0, std::min(line.find_first_not_of(' '), line.size()));
        out.lyricLines.push_back(std::move(line));
    }
    out.chorusParts = chorusParts(songNumber, record, chorus);
    out.melody = songMelody(work);
    facts = std::move(out);
    return RecordError::none;
}

}  // namespace kdb2mid
