#include "generator/database_writer.hpp"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "format/lyric_block.hpp"
#include "generator/song_compressor.hpp"
#include "format/song_image.hpp"
#include "format/byte_order.hpp"

namespace kdb2mid::sample {

std::size_t lyricEventCount(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto current = static_cast<std::uint8_t>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<std::uint8_t>(text[i + 1]) : std::uint8_t{0};
        if (closesLyricEvent(current, next)) ++count;
    }
    return count;
}

Bytes buildLyricBlock(const std::vector<std::string>& titles, const std::vector<LyricLine>& lines,
                      std::size_t tail) {
    Bytes block{0x2A};
    for (std::size_t i = 0; i < titles.size(); ++i) {
        if (i > 0) block.push_back(0x2F);
        block.insert(block.end(), titles[i].begin(), titles[i].end());
        block.push_back(0);
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LyricLine& line = lines[i];
        if (i == 0 && (line.mark || line.text.empty() || line.text[0] != ' ')) {
            throw std::invalid_argument("the first lyric line must begin with a space");
        }
        if (line.words.size() != lyricEventCount(line.text)) {
            throw std::invalid_argument("a lyric line needs one time word per event: " + line.text);
        }
        if (line.mark) block.push_back('0');
        block.insert(block.end(), line.text.begin(), line.text.end());
        block.insert(block.end(), {0, 0, 0, 0});
        for (std::uint16_t word : line.words) appendBigEndian16(block, word);
    }
    block.insert(block.end(), tail, 0);
    return block;
}

Bytes buildImage(const SongSpec& song, std::vector<std::uint32_t>& offsets) {
    Bytes image;
    offsets.clear();
    for (const Bytes& track : song.tracks) {
        offsets.push_back(static_cast<std::uint32_t>(image.size()));
        image.insert(image.end(), track.begin(), track.end());
    }
    offsets.push_back(static_cast<std::uint32_t>(image.size()));  // the lead byte
    image.insert(image.end(), song.lyricBlock.begin(), song.lyricBlock.end());
    offsets.push_back(static_cast<std::uint32_t>(image.size()));  // carried, never read
    return image;
}

Bytes buildRecord(const SongSpec& song) {
    std::vector<std::uint32_t> offsets;
    const Bytes image = buildImage(song, offsets);
    const auto v = static_cast<std::uint32_t>(16 + 4 * offsets.size());
    Bytes record(kRecordTableOffset, 0);
    record[kRecordFlagsOffset] = song.flags;
    record[kRecordChorusCountOffset] = song.chorusCount;
    record[kRecordChorusIndexOffset] = static_cast<std::uint8_t>(song.chorusIndex >> 8);
    record[kRecordChorusIndexOffset + 1] = static_cast<std::uint8_t>(song.chorusIndex);
    for (std::uint32_t offset : offsets) appendBigEndian32(record, offset + v);
    const Bytes stream = compressSongImage(image, StreamEnd::endMark);
    record.insert(record.end(), stream.begin(), stream.end());
    // The stream ends with its end mark, so zeros may follow it.
    const std::size_t needed = (image.size() + kImageCapacityFactor - 1) / kImageCapacityFactor;
    record.resize(std::max(record.size(), needed), 0);
    record.resize((record.size() + 15) / 16 * 16, 0);
    return record;
}

std::uint16_t addChorusRecording(Database& database, std::uint32_t partNumber,
                                 const Bytes& recording) {
    if (database.chorusIndex.size() > 0xFFFF) {
        throw std::length_error("chorus index numbers are 16 bits");
    }
    Bytes& data = database.chorusData;
    const auto unitsOf = [](std::size_t bytes) {
        return static_cast<std::uint32_t>((bytes + kChorusDataUnit - 1) / kChorusDataUnit);
    };
    const std::uint32_t start = unitsOf(data.size());
    data.resize(std::size_t{start} * kChorusDataUnit, 0);
    data.insert(data.end(), recording.begin(), recording.end());
    const std::uint32_t end = unitsOf(data.size());
    data.resize(std::size_t{end} * kChorusDataUnit, 0);
    database.chorusIndex.push_back({partNumber, start, end});
    return static_cast<std::uint16_t>(database.chorusIndex.size() - 1);
}

Bytes silentMp3Frames(std::size_t frameCount) {
    // Sync, MPEG-1, Layer III, no CRC / 128 kbit/s, 44.1 kHz, no padding /
    // mono, original. 144 x 128000 / 44100 bytes a frame, rounded down.
    constexpr std::uint8_t header[] = {0xFF, 0xFB, 0x90, 0xC4};
    constexpr std::size_t frameLength = 417;
    Bytes out;
    out.reserve(frameCount * frameLength);
    for (std::size_t i = 0; i < frameCount; ++i) {
        out.insert(out.end(), std::begin(header), std::end(header));
        out.resize(out.size() + frameLength - sizeof header, 0);
    }
    return out;
}

void writeDatabase(const Database& database, const std::filesystem::path& folder) {
    Bytes index;
    Bytes data;
    for (const Bytes& record : database.records) {
        appendBigEndian32(index, static_cast<std::uint32_t>(data.size() / kSongDataUnit));
        data.insert(data.end(), record.begin(), record.end());
        data.resize((data.size() + 15) / 16 * 16, 0);
    }
    appendBigEndian32(index, static_cast<std::uint32_t>(data.size() / kSongDataUnit));
    Bytes chorusIndex;
    for (const ChorusIndexEntry& entry : database.chorusIndex) {
        appendBigEndian32(chorusIndex, entry.partNumber);
        appendBigEndian32(chorusIndex, entry.start);
        appendBigEndian32(chorusIndex, entry.end);
    }
    std::filesystem::create_directories(folder);
    writeFile(folder / kSongIndexFile, index);
    writeFile(folder / kSongDataFile, data);
    writeFile(folder / kChorusIndexFile, chorusIndex);
    writeFile(folder / kChorusDataFile, database.chorusData);
}

void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

Bytes readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kdb2mid::sample
