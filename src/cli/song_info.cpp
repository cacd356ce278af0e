#include "cli/song_info.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "cli/song_melody.hpp"
#include "convert/convert_song.hpp"
#include "format/display_text.hpp"
#include "midi/midi_format.hpp"
#include "midi/tempo_map.hpp"
#include "cli/progress_line.hpp"
#include "format/database_layout.hpp"
#include "format/vni_text.hpp"

namespace kdb2mid {

namespace {

void addField(std::string& text, const std::string& label, const std::string& value) {
    constexpr std::size_t kLabelWidth = 20;
    std::string line = label + ":";
    line.append(line.size() < kLabelWidth ? kLabelWidth - line.size() : 1, ' ');
    text += line + value + "\n";
}

std::string seconds(double value) {
    const auto tenths = static_cast<long long>(std::llround(value * 10));
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

void describeChorus(std::int32_t songNumber, std::span<const std::uint8_t> record,
                    const ChorusFacts& chorus, std::string& text) {
    const std::optional<ChorusRequest> request = chorusRequest(record);
    if (!request) {
        addField(text, "Chorus recordings", "none");
        return;
    }
    std::string summary = std::to_string(request->count) + ", from CRS&TCK.IDX entry " +
                          std::to_string(request->firstEntry);
    if (!chorus.indexOpen) {
        summary += " (CRS&TCK.IDX cannot be opened)";
    } else if (!chorus.dataSize) {
        summary += " (CHORUS.DAT cannot be opened)";
    }
    addField(text, "Chorus recordings", summary);
    if (!chorus.indexOpen) return;

    const std::size_t whole =
        std::min<std::size_t>(request->count, chorus.entries.size() / kChorusEntrySize);
    for (std::size_t i = 0; i < whole; ++i) {
        const ChorusIndexEntry entry =
            parseChorusIndexEntry(chorus.entries.subspan(i * kChorusEntrySize, kChorusEntrySize));
        std::string line =
            "  part " + std::to_string(static_cast<std::int32_t>(entry.partNumber)) + ": ";
        if (entry.end < entry.start) {
            line += "its end lies before its start";
        } else {
            const std::uint64_t end = kChorusDataUnit * entry.end;
            line += std::to_string(kChorusDataUnit * (entry.end - entry.start)) + " bytes, " +
                    chorusFileName(songNumber, entry.partNumber);
            if (chorus.dataSize && end > *chorus.dataSize) {
                line += ", runs past the end of CHORUS.DAT";
            }
        }
        text += line + "\n";
    }
    if (whole < request->count) {
        text += "  CRS&TCK.IDX ends before entry " +
                std::to_string(std::uint64_t{request->firstEntry} + whole) + "\n";
    }
}

}  // namespace

RecordError describeSong(std::int32_t songNumber, std::span<const std::uint8_t> record,
                         const ChorusFacts& chorus, DecodedSong& song, std::string& text) {
    text.clear();
    if (record.size() <= kRecordChorusIndexOffset + 1) return RecordError::recordTooShort;
    const RecordError error = decodeSong(record, song);
    if (error != RecordError::none) return error;

    const std::span<const std::uint8_t> image = song.imageBytes();
    const std::size_t dataTracks = song.dataTrackCount();
    const LyricBlock& lyrics = song.lyrics;

    const SongTiming timing = songTiming(image, song.table, lyrics);
    const std::uint64_t endTick = timing.endTick;
    const double length = timing.lengthSeconds();
    bool encoded = false;
    for (const LyricEvent& event : lyrics.events) {
        encoded = encoded || hasEncodedLetters(song.text(event.text));
    }
    for (const TextRef& title : lyrics.titles) {
        encoded = encoded || hasEncodedLetters(song.text(title));
    }

    addField(text, "Song", std::to_string(songNumber));
    addField(
        text, "Record",
        std::to_string(record.size()) + " bytes, " + std::to_string(image.size()) + " decoded");
    if (lyrics.titles.empty()) addField(text, "Title", "(none)");
    for (const TextRef& title : lyrics.titles) {
        addField(text, "Title", displayText(song.text(title)));
    }
    addField(text, "Data tracks", std::to_string(dataTracks));
    addField(text, "Length",
             std::to_string(endTick) + " ticks, " + seconds(length) + " seconds (" +
                 formatDuration(length) + ")");
    addField(text, "Lyric lines", std::to_string(lyrics.lineCount));
    addField(text, "Lyric events", std::to_string(lyrics.events.size()));
    addField(text, "Two-byte letters", encoded ? "yes (--lyrics utf8 writes them as UTF-8)" : "no");
    addField(text, "Melody", describeMelody(songMelody(song)));
    describeChorus(songNumber, record, chorus, text);

    // The lines that hold text, one by one: a line's events follow its first.
    if (!lyrics.events.empty()) text += "Lyrics:\n";
    std::size_t next = 0;
    while (next < lyrics.events.size()) {
        std::vector<std::uint8_t> stored;
        do {
            const auto part = song.text(lyrics.events[next].text);
            stored.insert(stored.end(), part.begin(), part.end());
            ++next;
        } while (next < lyrics.events.size() && !lyrics.events[next].firstInLine);
        std::string shown = displayText(stored);
        const auto first = shown.find_first_not_of(' ');
        shown = first == std::string::npos ? std::string{} : shown.substr(first);
        text += shown.empty() ? "\n" : "  " + shown + "\n";
    }
    return RecordError::none;
}

}  // namespace kdb2mid
