#include "midi/kar_track.hpp"

#include <algorithm>
#include <string>

#include "format/vni_text.hpp"
#include "midi/midi_chunk.hpp"
#include "midi/midi_file.hpp"
#include "midi/midi_format.hpp"

namespace kdb2mid {

namespace {

bool isUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Builds the Words track's events into a chunk.
class WordsTrack {
public:
    WordsTrack(LyricText text, std::vector<std::uint8_t>& chunk) : text_(text), chunk_(chunk) {}

    void metaEvent(std::uint32_t delta, std::uint8_t type, std::string_view data) {
        appendMetaEvent(chunk_, delta, type, data);
    }

    // One or more text events at delta: mark (if any) and the stored text,
    // decoded as asked, in pieces of at most kMaxKaraokeTextBytes.
    // `repeatMark` puts the mark in front of every piece, not just the first.
    void text(std::uint32_t delta, std::string_view mark, std::span<const std::uint8_t> stored,
              bool repeatMark) {
        content_.clear();
        if (text_ == LyricText::utf8) {
            appendVniAsUtf8(stored, content_);
        } else {
            content_.assign(stored.begin(), stored.end());
        }
        std::string_view rest = content_;
        bool first = true;
        do {
            const std::string_view pieceMark = first || repeatMark ? mark : std::string_view{};
            const std::size_t room = kMaxKaraokeTextBytes - pieceMark.size();
            std::size_t cut = std::min(rest.size(), room);
            if (text_ == LyricText::utf8 && cut < rest.size()) {
                // Back to the start of the character the cut falls in.
                while (cut > 0 && isUtf8Continuation(rest[cut])) --cut;
                // Only broken UTF-8 could leave no whole character; cut it anyway.
                if (cut == 0) cut = room;
            }
            piece_.assign(pieceMark);
            piece_.append(rest.substr(0, cut));
            metaEvent(first ? delta : 0, kMetaText, piece_);
            rest.remove_prefix(cut);
            first = false;
        } while (!rest.empty());
    }

private:
    LyricText text_;
    std::vector<std::uint8_t>& chunk_;
    std::string content_;
    std::string piece_;
};

}  // namespace

RecordError writeKaraokeTrack(std::span<const std::uint8_t> image, const LyricBlock& lyrics,
                              LyricText text, std::vector<std::uint8_t>& chunk) {
    const std::size_t head = beginTrackChunk(chunk);
    WordsTrack words(text, chunk);
    words.metaEvent(0, kMetaTrackName, kKaraokeTrackName);
    words.metaEvent(0, kMetaText, kKaraokeFileMark);
    words.metaEvent(0, kMetaText, kKaraokeVersion);
    for (const TextRef& title : lyrics.titles) {
        // An empty title has nothing to show; the .mid keeps its track name.
        if (title.length == 0) continue;
        words.text(0, kKaraokeTitleMark, textBytes(image, title), true);
    }
    std::size_t shownLines = 0;
    for (const LyricEvent& event : lyrics.events) {
        std::string_view mark;
        if (event.firstInLine) {
            mark = shownLines % kKaraokeLinesPerPage == 0 ? std::string_view{&kKaraokeNewPage, 1}
                                                          : std::string_view{&kKaraokeNewLine, 1};
            ++shownLines;
        }
        words.text(event.delta, mark, textBytes(image, event.text), false);
    }
    return endTrackChunk(chunk, head);
}

RecordError writeKaraokeFile(const DecodedSong& song, LyricText text, ByteSink& out,
                             std::vector<std::uint8_t>& trackBuffer) {
    // The data tracks are the .mid's, their texts decoded alike.
    RecordError error = beginSongTracks(song, text, trackBuffer);
    if (error == RecordError::none) {
        error = writeKaraokeTrack(song.imageBytes(), song.lyrics, text, trackBuffer);
    }
    if (error != RecordError::none) return error;
    writeSongFile(song, text, trackBuffer, out);
    return RecordError::none;
}

}  // namespace kdb2mid
