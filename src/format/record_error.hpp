// What can be wrong with a song record. The libraries return these;
// messages/messages.hpp words them.
#pragma once

#include <cstdint>

namespace kdb2mid {

enum class RecordError : std::uint8_t {
    none = 0,
    recordTooShort,        // shorter than the header and the first table entries
    tableTooSmall,         // stream offset V below 24: fewer than two table entries
    tableOutsideRecord,    // the track offset table runs past the record's end
    tooManyTracks,         // more than 65535 tracks for the file header
    imageOverflow,         // the stream decodes to more than 3 x the record size
    referenceBeforeStart,  // a back-reference points before the image's first byte
    tracksOutOfOrder,      // track offsets decrease or lie beyond the decoded image
    lyricLinePastImage,    // a lyric line's text or time words run past the image
    textTooLong,           // a title or lyric event too long for a MIDI file
};

}  // namespace kdb2mid
