// Decoder throughput beside memcpy and the plain decoder, and whole-song
// conversion in memory, on synthetic songs shaped like real karaoke MIDI data.
// The baseline is the library's own byte-at-a-time decoder: the one the
// tests hold the fast decoder to, so the speed-up is measured against the
// very code that defines the right answer.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "midi/midi_file.hpp"
#include "format/song_image.hpp"
#include "generator/synthetic_song.hpp"

namespace {

using kdb2mid::sample::Bytes;

struct Corpus {
    std::vector<Bytes> records;
    std::size_t imageBytes = 0;
    std::size_t recordBytes = 0;
};

// Songs of 5 to 60 KB of image, as in a real database.
const Corpus& corpus() {
    static const Corpus songs = [] {
        Corpus c;
        for (std::uint32_t seed = 1; seed <= 40; ++seed) {
            const std::size_t target = 5000 + (seed * 7919) % 55000;
            const kdb2mid::sample::SongSpec song = kdb2mid::sample::syntheticSong(seed, target);
            std::vector<std::uint32_t> offsets;
            c.imageBytes += kdb2mid::sample::buildImage(song, offsets).size();
            c.records.push_back(kdb2mid::sample::buildRecord(song));
            c.recordBytes += c.records.back().size();
        }
        return c;
    }();
    return songs;
}

class NullSink final : public kdb2mid::ByteSink {
public:
    void write(std::span<const std::uint8_t> bytes) override { written += bytes.size(); }
    std::size_t written = 0;
};

template <kdb2mid::RecordError (*Decode)(std::span<const std::uint8_t>, std::size_t,
                                         kdb2mid::SongImage&)>
void decodeAll(benchmark::State& state) {
    const Corpus& c = corpus();
    kdb2mid::SongImage image;
    kdb2mid::TrackOffsetTable table;
    for (auto _ : state) {
        for (const Bytes& record : c.records) {
            kdb2mid::readTrackOffsetTable(record, table);
            Decode(record, std::size_t{table.streamOffset} + 4, image);
            benchmark::DoNotOptimize(image.bytes().data());
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(static_cast<std::size_t>(state.iterations()) * c.imageBytes));
    state.counters["ratio"] = static_cast<double>(c.recordBytes) / static_cast<double>(c.imageBytes);
}

void BM_DecodeFast(benchmark::State& state) { decodeAll<kdb2mid::decompressSongImage>(state); }
void BM_DecodeOneByteAtATime(benchmark::State& state) {
    decodeAll<kdb2mid::decompressSongImageReference>(state);
}

// Copying the same number of image bytes: the ceiling for any decoder.
void BM_MemcpySameBytes(benchmark::State& state) {
    const Corpus& c = corpus();
    std::vector<std::uint8_t> from(c.imageBytes / c.records.size() + 1, 0x5A);
    std::vector<std::uint8_t> to(from.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < c.records.size(); ++i) {
            std::memcpy(to.data(), from.data(), from.size());
            benchmark::ClobberMemory();
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(static_cast<std::size_t>(state.iterations()) * from.size() * c.records.size()));
}

// Decode, checks, lyric track and MIDI assembly, output discarded.
void BM_ConvertSongInMemory(benchmark::State& state) {
    const Corpus& c = corpus();
    kdb2mid::DecodedSong song;
    std::vector<std::uint8_t> track;
    NullSink sink;
    for (auto _ : state) {
        for (const Bytes& record : c.records) {
            if (kdb2mid::decodeSong(record, song) == kdb2mid::RecordError::none) {
                kdb2mid::writeMidiFile(song, kdb2mid::LyricText::stored, sink, track);
            }
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(static_cast<std::size_t>(state.iterations()) * c.imageBytes));
    const auto songs = static_cast<double>(static_cast<std::size_t>(state.iterations()) * c.records.size());
    state.counters["songs/s"] = benchmark::Counter(songs, benchmark::Counter::kIsRate);
    state.counters["s/song"] =
        benchmark::Counter(songs, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_MemcpySameBytes);
BENCHMARK(BM_DecodeOneByteAtATime);
BENCHMARK(BM_DecodeFast);
BENCHMARK(BM_ConvertSongInMemory);

}  // namespace

BENCHMARK_MAIN();
