#include "midi/midi_file.hpp"

#include "format/byte_order.hpp"

namespace kdb2mid {

RecordError decodeSong(std::span<const std::uint8_t> record, MidiWorkspace& work) {
    RecordError error = readTrackOffsetTable(record, work.table);
    if (error != RecordError::none) return error;
    error = decompressSongImage(record, std::size_t{work.table.streamOffset} + 4, work.image);
    if (error != RecordError::none) return error;
    error = checkTrackOffsets(work.table, work.image.length());
    if (error != RecordError::none) return error;
    return parseLyricBlock(work.image.bytes(), work.table, work.lyrics);
}

void writeHeaderAndDataTracks(const MidiWorkspace& work, ByteSink& out) {
    const std::vector<std::uint32_t>& entries = work.table.entries;
    const std::size_t dataTracks = entries.size() - 2;
    std::vector<std::uint8_t> header{'M', 'T', 'h', 'd'};
    header.reserve(14);
    appendBigEndian32(header, 6);
    appendBigEndian16(header, kMidiFormat);
    appendBigEndian16(header, static_cast<std::uint16_t>(dataTracks + 1));
    appendBigEndian16(header, kMidiDivision);
    out.write(header);

    const std::span<const std::uint8_t> image = work.image.bytes();
    for (std::size_t j = 0; j < dataTracks; ++j) {
        const std::uint32_t length = entries[j + 1] - entries[j];
        std::uint8_t chunkHead[8] = {'M', 'T', 'r', 'k'};
        chunkHead[4] = static_cast<std::uint8_t>(length >> 24);
        chunkHead[5] = static_cast<std::uint8_t>(length >> 16);
        chunkHead[6] = static_cast<std::uint8_t>(length >> 8);
        chunkHead[7] = static_cast<std::uint8_t>(length);
        out.write(chunkHead);
        out.write(image.subspan(entries[j], length));
    }
}

RecordError writeMidiFile(std::span<const std::uint8_t> record, ByteSink& out,
                          MidiWorkspace& work, LyricText text) {
    RecordError error = decodeSong(record, work);
    if (error != RecordError::none) return error;
    work.lyricChunk.clear();
    error = writeLyricTrack(work.image.bytes(), work.lyrics, work.lyricChunk, text);
    if (error != RecordError::none) return error;
    writeHeaderAndDataTracks(work, out);
    out.write(work.lyricChunk);
    return RecordError::none;
}

RecordError writeMidiFile(std::span<const std::uint8_t> record, std::vector<std::uint8_t>& out,
                          LyricText text) {
    MidiWorkspace work;
    VectorSink sink(out);
    return writeMidiFile(record, sink, work, text);
}

}  // namespace kdb2mid
