// Proves that for any bytes a song record may hold, the in-memory conversion
// (table, decoding, MIDI assembly, lyric and karaoke tracks, stored or UTF-8
// text) stays inside its buffers and ends, that the fast decoder agrees with
// the plain one, that a workspace reused from earlier songs gives the same
// result as a fresh one, and that the record is either refused with nothing
// written or becomes well-formed .mid and .kar files no larger than a fixed
// multiple of its decoded image, and that its lyrics become an ASS document
// of well-formed UTF-8 lines with at most one title card and three countdown
// events per lyric line.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "export/ass_file.hpp"
#include "export/timed_lyrics.hpp"
#include "export/title_lead_in.hpp"
#include "format/utf8_text.hpp"

#include "midi/kar_track.hpp"
#include "midi/tempo_map.hpp"
#include "midi/midi_file.hpp"
#include "format/song_image.hpp"
#include "format/database_layout.hpp"
#include "fuzz_targets.hpp"
#include "midi_shape.hpp"

namespace kdb2mid::fuzz {

namespace {

using Bytes = std::vector<std::uint8_t>;

bool sameImage(const SongImage& a, const SongImage& b) {
    return std::equal(a.bytes().begin(), a.bytes().end(), b.bytes().begin(), b.bytes().end());
}

void checkDecoders(Input record) {
    TrackOffsetTable table;
    if (readTrackOffsetTable(record, table) != RecordError::none) return;
    require(table.entries.size() >= 2 && table.entries.size() - 1 <= kMaxTracks,
            "accepted table has a track count a MIDI header cannot hold");
    require(kRecordTableOffset + 4 * table.entries.size() <= record.size(),
            "accepted table runs past the record");
    require(table.entries[0] == 0, "table entry 0 does not load as 0");

    const std::size_t streamStart = std::size_t{table.streamOffset} + 4;
    SongImage fast;
    SongImage plain;
    const RecordError fastError = decompressSongImage(record, streamStart, fast);
    const RecordError plainError = decompressSongImageReference(record, streamStart, plain);
    require(fastError == plainError, "fast and plain decoders disagree on refusing");
    if (fastError != RecordError::none) return;
    require(sameImage(fast, plain), "fast and plain decoders produce different images");
    require(fast.length() <= kImageCapacityFactor * record.size(), "image longer than 3 x the record");
}

// The file a decoded song makes with the text track writeTrack appends.
template <typename WriteTrack>
Bytes fileWith(const DecodedSong& song, WriteTrack writeTrack) {
    Bytes chunk;
    require(writeTrack(chunk) == RecordError::none, "a decoded song's text track failed");
    Bytes file;
    VectorSink sink(file);
    writeSongFile(song, chunk, sink);
    return file;
}

// The Style field of a "Dialogue: Layer,Start,End,Style,..." line; empty
// for any other line. The text after it is the singer's and may hold the
// same words and commas.
std::string_view dialogueStyle(std::string_view line) {
    constexpr std::string_view kDialogue = "Dialogue: ";
    if (!line.starts_with(kDialogue)) return {};
    line.remove_prefix(kDialogue.size());
    for (int field = 0; field < 3; ++field) {
        const std::size_t comma = line.find(',');
        if (comma == std::string_view::npos) return {};
        line.remove_prefix(comma + 1);
    }
    return line.substr(0, line.find(','));
}

// The lyrics as ASS: the events around the lines (title card, countdowns)
// come from the same decoded song as every other output.
void checkAss(const DecodedSong& song) {
    const std::span<const std::uint8_t> image = song.image.bytes();
    const TimedLyrics lyrics = timedLyrics(image, song.lyrics);
    const SongTiming timing = songTiming(image, song.table, song.lyrics);
    // With the video's lead-in, which moves every time and makes room for the title.
    const std::string ass = writeAss({lyrics, timing.tempo, "fuzz", titleLeadIn(lyrics, timing.tempo)});
    std::size_t titles = 0;
    std::size_t countdowns = 0;
    std::size_t breaks = 0;
    std::size_t start = 0;
    while (start < ass.size()) {
        const std::size_t end = ass.find('\n', start);
        require(end != std::string::npos, "ASS document does not end with a line end");
        const std::string_view line(ass.data() + start, end - start);
        for (std::size_t at = 0; at < line.size();) {
            char32_t letter = 0;
            const std::size_t length = utf8SequenceAt(line, at, letter);
            require(length != 0, "ASS line is not well-formed UTF-8");
            at += length;
        }
        const std::string_view style = dialogueStyle(line);
        if (style == "Title") ++titles;
        if (style == "Countdown") ++countdowns;
        if (style == "BreakTitle") ++breaks;
        start = end + 1;
    }
    require(titles <= 1, "more than one title card");
    require(countdowns <= 3 * lyrics.lines.size(), "more countdown events than lines allow");
    require(breaks < std::max<std::size_t>(lyrics.lines.size(), 1), "a break screen with no line after it");
}

}  // namespace

void fuzzRecord(Input record) {
    checkDecoders(record);

    // A batch reuses one decoded song from song to song; a song must not see
    // anything the previous ones left in it.
    static DecodedSong reused;
    static Bytes trackBuffer;
    Bytes midi;
    VectorSink sink(midi);
    RecordError error = decodeSong(record, reused);
    if (error == RecordError::none) error = writeMidiFile(reused, LyricText::stored, sink, trackBuffer);

    Bytes fromFresh;
    require(recordToMidi(record, fromFresh) == error,
            "reused and fresh workspaces disagree on refusing");
    require(midi == fromFresh, "reused and fresh workspaces write different files");
    if (error != RecordError::none) {
        require(midi.empty(), "a refused record still wrote bytes");
        Bytes karaoke;
        require(recordToKaraoke(record, karaoke, LyricText::stored) == error,
                "the .kar and the .mid disagree on refusing");
        require(karaoke.empty(), "a refused record still wrote .kar bytes");
        return;
    }
    requireMidiShape(midi, TextTrack::lyrics, false);
    checkAss(reused);

    const std::size_t tables = reused.table.entries.size();
    require(midi[10] == ((tables - 1) >> 8) && midi[11] == ((tables - 1) & 0xFF),
            "header track count is not the table's");
    // A stored image byte becomes at most three file bytes (a one-letter
    // lyric: three image bytes, at most nine file bytes even as UTF-8), plus
    // each chunk's framing; the karaoke marks and splits add a little more.
    const std::size_t image = reused.image.length();
    const std::size_t bound = 64 + 8 * tables + 3 * image;
    require(midi.size() <= bound, "MIDI file larger than its image accounts for");

    const std::span<const std::uint8_t> bytes = reused.image.bytes();
    const Bytes utf8 = fileWith(reused, [&](Bytes& chunk) {
        return writeLyricTrack(bytes, reused.lyrics, chunk, LyricText::utf8);
    });
    requireMidiShape(utf8, TextTrack::lyrics, true);
    require(utf8.size() <= bound, "UTF-8 MIDI file larger than its image accounts for");

    // The whole UTF-8 file: the data tracks' texts decoded as well.
    Bytes decoded;
    VectorSink decodedSink(decoded);
    require(writeMidiFile(reused, LyricText::utf8, decodedSink, trackBuffer) == RecordError::none,
            "a decoded song's UTF-8 file failed");
    requireMidiShape(decoded, TextTrack::lyrics, true);
    require(decoded.size() <= bound, "UTF-8 MIDI file with decoded tracks larger than its image");

    for (const LyricText text : {LyricText::stored, LyricText::utf8}) {
        const Bytes karaoke = fileWith(reused, [&](Bytes& chunk) {
            return writeKaraokeTrack(bytes, reused.lyrics, text, chunk);
        });
        requireMidiShape(karaoke, TextTrack::karaoke, text == LyricText::utf8);
        require(karaoke.size() <= bound + image / 2, ".kar file larger than its image accounts for");
    }
}

}  // namespace kdb2mid::fuzz
