#include "messages/messages.hpp"

namespace kdb2mid {

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

}  // namespace kdb2mid
