// Proves that for any bytes a song record may hold, the in-memory conversion
// (table, decoding, MIDI assembly, lyric track) stays inside its buffers and
// ends, that the fast decoder agrees with the plain one, that a workspace
// reused from earlier songs gives the same result as a fresh one, and that the
// record is either refused with nothing written or becomes a well-formed MIDI
// file no larger than a fixed multiple of its decoded image.
#include <algorithm>
#include <vector>

#include "convert/midi_file.hpp"
#include "convert/song_image.hpp"
#include "foundation/database_layout.hpp"
#include "fuzz_targets.hpp"
#include "midi_shape.hpp"

namespace kdb2mid::fuzz {

namespace {

class VectorSink final : public ByteSink {
public:
    explicit VectorSink(std::vector<std::uint8_t>& out) : out_(out) {}
    void write(std::span<const std::uint8_t> bytes) override {
        out_.insert(out_.end(), bytes.begin(), bytes.end());
    }

private:
    std::vector<std::uint8_t>& out_;
};

bool sameImage(const SongImage& a, const SongImage& b) {
    return std::equal(a.bytes().begin(), a.bytes().end(), b.bytes().begin(), b.bytes().end());
}

void checkDecoders(Input record) {
    TrackOffsetTable table;
    if (readTrackOffsetTable(record, table) != RecordError::none) return;
    require(table.entries.size() >= 2 && table.entries.size() - 1 <= kMaxTracks,
            "accepted table has a track count a MIDI header cannot hold");
    require(std::size_t{kRecordTableOffset} + 4 * table.entries.size() <= record.size(),
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
    require(fast.length() <= 3 * record.size(), "image longer than 3 x the record");
}

}  // namespace

void fuzzRecord(Input record) {
    checkDecoders(record);

    // A batch reuses one workspace from song to song; a song must not see
    // anything the previous ones left in it.
    static MidiWorkspace reused;
    std::vector<std::uint8_t> fromReused;
    VectorSink sink(fromReused);
    const RecordError error = writeMidiFile(record, sink, reused);

    std::vector<std::uint8_t> fromFresh;
    const RecordError freshError = writeMidiFile(record, fromFresh);
    require(error == freshError, "reused and fresh workspaces disagree on refusing");
    require(fromReused == fromFresh, "reused and fresh workspaces write different files");

    if (error != RecordError::none) {
        require(fromReused.empty(), "a refused record still wrote bytes");
        return;
    }
    if (const std::string problem = midiShapeProblem(fromReused); !problem.empty()) {
        fail(problem.c_str());
    }

    const std::vector<std::uint32_t>& entries = reused.table.entries;
    const std::size_t tracks = entries.size() - 1;
    require(fromReused[10] == (tracks >> 8) && fromReused[11] == (tracks & 0xFF),
            "header track count is not the table's");
    // Each image byte yields at most three output bytes (a one-letter lyric:
    // three image bytes, at most seven file bytes), plus fixed framing.
    const std::size_t bound = 26 + 8 * entries.size() + 3 * reused.image.length();
    require(fromReused.size() <= bound, "MIDI file larger than its image accounts for");
}

}  // namespace kdb2mid::fuzz
