// Proves that converting one song the way the command line does, over a
// database folder whose four files come from the input, ends cleanly for any
// contents and options: every outcome is reported in single "Cannot ..."
// lines, no temporary file is left behind, the .mid (and the .kar when asked
// for) exists exactly when the record converts and holds exactly what the
// in-memory conversion makes of it, and every chorus file is a verbatim run
// of CHORUS.DAT named by its index entry.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "convert/convert_song.hpp"
#include "midi/kar_track.hpp"
#include "midi/midi_file.hpp"
#include "database_frame.hpp"
#include "format/database_layout.hpp"
#include "fuzz_targets.hpp"
#include "midi_shape.hpp"

#ifdef _WIN32
#include <process.h>
#define KDB2MID_GETPID _getpid
#else
#include <unistd.h>
#define KDB2MID_GETPID ::getpid
#endif

namespace kdb2mid::fuzz {

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

constexpr const char* kFileNames[DatabaseFrame::fileCount] = {
    kSongIndexFile, kSongDataFile, kChorusIndexFile, kChorusDataFile};

// One scratch folder per process, reused from input to input and removed
// when the process ends normally.
class Scratch {
public:
    Scratch()
        : root_(fs::temp_directory_path() /
                ("kdb2mid-fuzz-" + std::to_string(KDB2MID_GETPID()))) {
        fs::create_directories(database());
        fs::create_directories(output());
    }
    ~Scratch() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    fs::path database() const { return root_ / "db"; }
    fs::path output() const { return root_ / "out"; }

private:
    fs::path root_;
};

Bytes readWhole(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeWhole(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    require(static_cast<bool>(out), "cannot write a scratch database file");
}

void prepareDatabase(const Scratch& scratch, const DatabaseFrame& frame) {
    for (std::size_t file = 0; file < DatabaseFrame::fileCount; ++file) {
        const fs::path path = scratch.database() / kFileNames[file];
        if (frame.present[file]) {
            writeWhole(path, frame.files[file]);
        } else {
            fs::remove(path);
        }
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(scratch.output())) {
        fs::remove_all(entry.path());
    }
}

// The record convertSong reads for the song, when there is one.
std::optional<Bytes> recordOf(const SongDatabase& database, std::int32_t song) {
    const RecordLookup where = database.locate(song);
    if (where.outcome != RecordLookup::Outcome::found) return std::nullopt;
    Bytes record;
    if (!database.readRecord(where, record)) return std::nullopt;
    return record;
}

// Whether an .mp3 file's name and bytes match one of the recordings the
// record asks for: its part number and its run of CHORUS.DAT.
bool matchesRecording(const DatabaseFrame& frame, const ChorusRequest& request,
                      std::int32_t song, const std::string& name, const Bytes& contents) {
    const Bytes& index = frame.files[DatabaseFrame::chorusIndex];
    const Bytes& data = frame.files[DatabaseFrame::chorusData];
    for (unsigned i = 0; i < request.count; ++i) {
        const std::uint64_t at = (std::uint64_t{request.firstEntry} + i) * kChorusEntrySize;
        if (at + kChorusEntrySize > index.size()) break;
        const ChorusIndexEntry entry = parseChorusIndexEntry(
            std::span(index).subspan(static_cast<std::size_t>(at), kChorusEntrySize));
        if (chorusFileName(song, entry.partNumber) != name || entry.end < entry.start) continue;
        const std::uint64_t start = kChorusDataUnit * entry.start;
        const std::uint64_t end = kChorusDataUnit * entry.end;
        if (end > data.size()) continue;
        if (std::equal(contents.begin(), contents.end(), data.begin() + static_cast<std::ptrdiff_t>(start),
                       data.begin() + static_cast<std::ptrdiff_t>(end))) {
            return true;
        }
    }
    return false;
}

void checkMessages(const SongResult& result) {
    for (const std::string& line : result.messages) {
        require(line.rfind("Cannot ", 0) == 0, "message line does not start with \"Cannot \"");
        require(line.find('\n') == std::string::npos, "message spans more than one line");
    }
    switch (result.outcome) {
        case SongResult::Outcome::converted:
            require(result.messages.empty(), "converted song has failure lines");
            break;
        case SongResult::Outcome::skipped:
            require(result.messages.size() == 1, "skipped song without exactly one line");
            break;
        case SongResult::Outcome::failed:
            require(!result.messages.empty(), "failed song without a failure line");
            break;
        case SongResult::Outcome::interrupted:
            require(false, "song interrupted though nothing signalled the run");
            break;
    }
}

}  // namespace

void fuzzConvertSong(Input input) {
    static Scratch scratch;
    static ConvertWorkspace work;  // reused, as a batch does

    const DatabaseFrame frame = decodeDatabaseFrame(input);
    prepareDatabase(scratch, frame);

    SongDatabase database;
    const SongDatabase::OpenError openError = database.open(scratch.database());
    if (!frame.present[DatabaseFrame::songIndex]) {
        require(openError == SongDatabase::OpenError::songIndex, "missing SONG.IDX not reported");
        return;
    }
    if (!frame.present[DatabaseFrame::songData]) {
        require(openError == SongDatabase::OpenError::songData, "missing SONG.DAT not reported");
        return;
    }
    require(openError == SongDatabase::OpenError::none, "present database files do not open");

    ConvertOptions options;
    options.lyrics = frame.utf8Lyrics ? LyricText::utf8 : LyricText::stored;
    if (frame.karaoke) options.outputs.add(Output::karaoke);
    const SongResult result = convertSong(database, frame.song, scratch.output(), options, work);
    checkMessages(result);

    const std::optional<Bytes> record = recordOf(database, frame.song);
    std::optional<Bytes> expectedMidi;
    std::optional<Bytes> expectedKaraoke;
    if (record && record->size() > kRecordChorusIndexOffset + 1) {
        Bytes midi;
        if (recordToMidi(*record, midi, options.lyrics) == RecordError::none) {
            expectedMidi = std::move(midi);
            Bytes karaoke;
            if (options.outputs.has(Output::karaoke) &&
                recordToKaraoke(*record, karaoke, options.lyrics) == RecordError::none) {
                expectedKaraoke = std::move(karaoke);
            }
        }
    }
    const std::optional<ChorusRequest> chorus =
        record && record->size() > kRecordChorusIndexOffset + 1 ? chorusRequest(*record)
                                                                 : std::nullopt;

    const std::string midiName = midiFileName(frame.song);
    const std::string karaokeName = karaokeFileName(frame.song);
    const std::string chorusPrefix = std::to_string(frame.song) + "_";
    const bool utf8 = options.lyrics == LyricText::utf8;
    bool midiWritten = false;
    bool karaokeWritten = false;
    std::size_t chorusFiles = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(scratch.output())) {
        const std::string name = entry.path().filename().string();
        const Bytes contents = readWhole(entry.path());
        if (name == midiName) {
            midiWritten = true;
            require(expectedMidi && contents == *expectedMidi,
                    "written MIDI file differs from the in-memory conversion");
            requireMidiShape(contents, TextTrack::lyrics, utf8);
            continue;
        }
        if (name == karaokeName) {
            karaokeWritten = true;
            require(expectedKaraoke && contents == *expectedKaraoke,
                    "written .kar file differs from the in-memory conversion");
            requireMidiShape(contents, TextTrack::karaoke, utf8);
            continue;
        }
        require(name.rfind(chorusPrefix, 0) == 0 && name.size() > 4 &&
                    name.compare(name.size() - 4, 4, ".mp3") == 0,
                "output folder holds a file that is neither the song's MIDI nor a chorus part");
        require(chorus && matchesRecording(frame, *chorus, frame.song, name, contents),
                "chorus file is not a recording the record asks for");
        ++chorusFiles;
    }
    require(midiWritten == expectedMidi.has_value(),
            "MIDI file written for a refused record or missing for a good one");
    require(karaokeWritten == expectedKaraoke.has_value(),
            ".kar file written for a refused record or missing for a good one");
    require(!chorus || chorusFiles <= chorus->count, "more chorus files than recordings");
    if (result.outcome == SongResult::Outcome::converted) {
        require(midiWritten, "converted song without its MIDI file");
    }
    if (result.outcome == SongResult::Outcome::skipped) {
        require(!midiWritten && !karaokeWritten && chorusFiles == 0, "skipped song wrote files");
    }
}

}  // namespace kdb2mid::fuzz
