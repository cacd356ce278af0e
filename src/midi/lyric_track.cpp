#include "midi/lyric_track.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <string>

#include "format/vni_text.hpp"
#include "midi/midi_chunk.hpp"
#include "midi/midi_format.hpp"

namespace kdb2mid {

static_assert(kMaxEventTextBytes == kMaxMidiVarLen,
              "a text the lyric block accepts must fit one MIDI event");

namespace {

// Appends a text as an event's data: its length as a variable-length number,
// then its bytes, stored or decoded. False if the decoded text is too long
// for a MIDI event (the stored lengths were checked when the block was read).
bool appendEventText(std::span<const std::uint8_t> stored, LyricText text, std::string& decoded,
                     std::vector<std::uint8_t>& chunk, char ending = 0) {
    if (text == LyricText::stored) {
        writeVarLen(static_cast<std::uint32_t>(stored.size()), chunk);
        chunk.insert(chunk.end(), stored.begin(), stored.end());
        return true;
    }
    decoded.clear();
    appendVniAsUtf8(stored, decoded);
    if (ending != 0) decoded += ending;
    if (decoded.size() > kMaxMidiVarLen) return false;
    writeVarLen(static_cast<std::uint32_t>(decoded.size()), chunk);
    chunk.insert(chunk.end(), decoded.begin(), decoded.end());
    return true;
}

}  // namespace

namespace {

// Most lyric events hold one letter of one to three bytes. Copying them a
// fixed 16 bytes at a time (the next event overwrites the excess) saves a
// call to a general copy per letter.
constexpr std::size_t kShortTextCopy = 16;

// Copies text to out, which has kShortTextCopy bytes to spare after it.
inline void copyText(std::uint8_t* out, std::span<const std::uint8_t> image, TextRef text) {
    if (text.length <= kShortTextCopy && image.size() - text.offset >= kShortTextCopy) {
        std::memcpy(out, image.data() + text.offset, kShortTextCopy);
    } else {
        std::memcpy(out, image.data() + text.offset, text.length);
    }
}

// The stored-text track, sized exactly first and then written in place: this
// runs once per lyric letter, so no per-event growth checks.
RecordError writeStoredLyricTrack(std::span<const std::uint8_t> image, const LyricBlock& lyrics,
                                  std::vector<std::uint8_t>& chunk) {
    std::size_t size = 0;
    for (const TextRef& title : lyrics.titles) size += 3 + varLenSize(title.length) + title.length;
    for (const LyricEvent& event : lyrics.events) {
        size += varLenSize(event.delta) + 2 + varLenSize(event.text.length) + event.text.length;
    }
    // Chunk head, events and end of track: the end of track must not make
    // the chunk grow (and be copied) once more.
    chunk.reserve(chunk.size() + 8 + size + 4);
    const std::size_t head = beginTrackChunk(chunk);
    // Room for one short text copy past the end, cut off again below.
    chunk.resize(chunk.size() + size + kShortTextCopy);
    std::uint8_t* out = chunk.data() + head + 8;
    for (const TextRef& title : lyrics.titles) {
        *out++ = 0x00;
        *out++ = kMetaEvent;
        *out++ = kMetaTrackName;
        out = putVarLen(out, title.length);
        std::memcpy(out, image.data() + title.offset, title.length);
        out += title.length;
    }
    for (const LyricEvent& event : lyrics.events) {
        out = putVarLen(out, event.delta);
        *out++ = kMetaEvent;
        *out++ = kMetaLyric;
        out = putVarLen(out, event.text.length);
        copyText(out, image, event.text);
        out += event.text.length;
    }
    chunk.resize(chunk.size() - kShortTextCopy);
    return endTrackChunk(chunk, head);
}

}  // namespace

RecordError writeLyricTrack(std::span<const std::uint8_t> image, const LyricBlock& lyrics,
                            std::vector<std::uint8_t>& chunk, LyricText text) {
    if (text == LyricText::stored) return writeStoredLyricTrack(image, lyrics, chunk);
    const std::size_t head = beginTrackChunk(chunk);
    std::string decoded;
    for (const TextRef& title : lyrics.titles) {
        chunk.insert(chunk.end(), {0x00, kMetaEvent, kMetaTrackName});
        if (!appendEventText(textBytes(image, title), text, decoded, chunk)) {
            return RecordError::textTooLong;
        }
    }
    std::size_t linesEnded = 0;
    for (std::size_t i = 0; i < lyrics.events.size(); ++i) {
        const LyricEvent& event = lyrics.events[i];
        char ending = 0;
        if (i + 1 == lyrics.events.size() || lyrics.events[i + 1].firstInLine) {
            ++linesEnded;
            const bool paragraphEnds =
                linesEnded % kLyricLinesPerParagraph == 0 || i + 1 == lyrics.events.size();
            ending = paragraphEnds ? kLyricParagraphEnd : kLyricLineEnd;
        }
        writeVarLen(event.delta, chunk);
        chunk.insert(chunk.end(), {kMetaEvent, kMetaLyric});
        if (!appendEventText(textBytes(image, event.text), text, decoded, chunk, ending)) {
            return RecordError::textTooLong;
        }
    }
    return endTrackChunk(chunk, head);
}

}  // namespace kdb2mid
