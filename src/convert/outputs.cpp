#include "convert/outputs.hpp"

#include <algorithm>
#include <system_error>

#include "messages/messages.hpp"
#include "midi/track_transform.hpp"

namespace kdb2mid {

// Each row is made by its writer file, output_NAME.cpp.
OutputRow midiOutput();
OutputRow karaokeOutput();
OutputRow lrcOutput();
OutputRow assOutput();
OutputRow audioOutput();
OutputRow ultrastarOutput();
OutputRow videoOutput();
OutputRow stemsOutput();
OutputRow cdgOutput();
OutputRow cdgZipOutput();

namespace {

// In the order a song's files are written and --help lists the options.
std::vector<OutputRow> makeTable() {
    std::vector<OutputRow> rows;
    rows.push_back(midiOutput());
    rows.push_back(karaokeOutput());
    rows.push_back(lrcOutput());
    rows.push_back(assOutput());
#ifdef KDB2MID_HAVE_AUDIO
    rows.push_back(audioOutput());
    rows.push_back(ultrastarOutput());
#endif
#ifdef KDB2MID_HAVE_VIDEO
    rows.push_back(videoOutput());
#endif
#ifdef KDB2MID_HAVE_AUDIO
    rows.push_back(stemsOutput());
#endif
#if defined(KDB2MID_HAVE_AUDIO) && defined(KDB2MID_HAVE_CDG)
    rows.push_back(cdgOutput());
    rows.push_back(cdgZipOutput());
#endif
    return rows;
}

bool fileExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace

const std::vector<OutputRow>& outputTable() {
    static const std::vector<OutputRow> table = makeTable();
    return table;
}

const OutputRow& outputRow(Output id) {
    for (const OutputRow& row : outputTable()) {
        if (row.id == id) return row;
    }
    return outputTable().front();
}

bool wantsRenderedAudio(const ConvertOptions& options) {
    for (const OutputRow& row : outputTable()) {
        if (row.needs.renderedAudio && options.outputs.has(row.id)) return true;
    }
    return false;
}

bool rowUsed(const OutputRow& row, const ConvertOptions& options) {
    return row.used != nullptr ? row.used(options) : options.outputs.has(row.id);
}

std::optional<std::string> changedOutputMissing(const ConvertOptions& options) {
    for (const OutputRow& row : outputTable()) {
        if (row.changes.empty() || !options.outputs.has(row.id)) continue;
        std::vector<std::string_view> changed;
        bool given = false;
        for (const Output id : row.changes) {
            changed.push_back(outputRow(id).option);
            given = given || options.outputs.has(id);
        }
        if (!given) return soundOptionUnused(row.option, changed);
    }
    return std::nullopt;
}

std::string partEnding(std::string_view part, std::string_view extension) {
    std::string ending = ".";
    ending += part;
    ending += extension;
    return ending;
}

std::filesystem::path partFile(const std::filesystem::path& audio, std::string_view part) {
    std::filesystem::path name = audio.stem();
    name += partEnding(part, audio.extension().string());
    return audio.parent_path() / name;
}

std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

void addPartFiles(SongContext& song, std::vector<std::filesystem::path>& files) {
    if (!song.splitsMelody()) return;
    const std::filesystem::path audio = files.back();
    files.push_back(partFile(audio, kInstrumentalPart));
    files.push_back(partFile(audio, kGuidePart));
}

std::vector<std::string> songFileSuffixes(const ConvertOptions& options,
                                          std::span<const std::uint32_t> chorusParts) {
    std::vector<std::string> suffixes;
    for (const OutputRow& row : outputTable()) {
        if (row.endings == nullptr || (!row.option.empty() && !options.outputs.has(row.id))) continue;
        for (std::string& ending : row.endings(options)) suffixes.push_back(std::move(ending));
    }
    for (const std::uint32_t part : chorusParts) suffixes.push_back(chorusFileName("", part));
    return suffixes;
}

std::vector<std::span<const std::uint8_t>> dataTracksOf(const DecodedSong& song) {
    std::vector<std::span<const std::uint8_t>> tracks;
    tracks.reserve(song.dataTrackCount());
    for (std::size_t j = 0; j < song.dataTrackCount(); ++j) tracks.push_back(song.dataTrack(j));
    return tracks;
}

void adjustTracks(DecodedSong& song, int semitones, int percent) {
    std::vector<std::vector<std::uint8_t>> adjusted =
        transformTracks(dataTracksOf(song), semitones, percent);
    song.adjustedTracks = std::move(adjusted);
}

namespace {

// A file two outputs plan is written once: by the output whose own file it
// is (its first), not by the one that would only add it (the MP3+G's .mp3
// when --audio mp3 writes SONG.mp3 itself). Whatever the table's order.
void writeSharedFilesOnce(std::vector<PlannedOutput>& planned) {
    const auto ownFileOfAnother = [&planned](const PlannedOutput& self,
                                             const std::filesystem::path& path) {
        return std::any_of(planned.begin(), planned.end(), [&](const PlannedOutput& other) {
            return &other != &self && !other.files.empty() && other.files.front() == path;
        });
    };
    for (PlannedOutput& output : planned) {
        for (std::size_t i = output.files.size(); i-- > 1;) {
            if (ownFileOfAnother(output, output.files[i])) {
                output.files.erase(output.files.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
}

}  // namespace

void planOutputs(SongContext& song) {
    song.planned_.clear();
    for (const OutputRow& row : outputTable()) {
        // The row without an option (the .mid) is every song's, and reports a refused record.
        const bool always = row.option.empty();
        if (!always && !song.options.outputs.has(row.id)) continue;
        if (!always && song.decoded != RecordError::none) continue;
        PlannedOutput& output = song.planned_.emplace_back(PlannedOutput{&row, {}});
        if (row.needs.lyrics && song.lyrics().lines.empty()) continue;
        // An option that changes other outputs adds its endings to their files.
        if (row.endings != nullptr && row.changes.empty()) {
            for (const std::string& ending : row.endings(song.options)) {
                output.files.push_back(song.file(ending));
            }
        }
        if (row.plan != nullptr) row.plan(song, output.files);
    }
    writeSharedFilesOnce(song.planned_);
}

bool lyricsMissing(SongContext& song) {
    for (const PlannedOutput& output : song.planned()) {
        if (output.row->needs.lyrics) return song.lyrics().lines.empty();
    }
    return false;
}

bool markFinishedOutputs(SongContext& song) {
    bool all = true;
    for (PlannedOutput& output : song.planned_) {
        output.done = std::all_of(output.files.begin(), output.files.end(), fileExists);
        all = all && output.done;
    }
    return all;
}

bool chorusFilesExist(const SongContext& song, const SongDatabase& database,
                      const ChorusRequest& chorus) {
    const RandomAccessFile* index = database.chorusIndex();
    if (index == nullptr) return false;
    for (unsigned i = 0; i < chorus.count; ++i) {
        std::uint8_t bytes[kChorusEntrySize];
        const std::uint64_t number = std::uint64_t{chorus.firstEntry} + i;
        if (!index->readAt(number * kChorusEntrySize, bytes)) return false;
        const ChorusIndexEntry entry = parseChorusIndexEntry(bytes);
        if (!fileExists(outputPath(song.outFolder, chorusFileName(song.stem, entry.partNumber)))) {
            return false;
        }
    }
    return true;
}

bool writeOutputs(SongContext& song) {
    for (const PlannedOutput& output : song.planned()) {
        if (output.files.empty() || output.done) continue;
        if (!output.row->write(song, output.files)) return false;
    }
    return true;
}

void writeTextOutput(SongContext& song, const std::filesystem::path& path, std::string_view text) {
    AtomicOutputFile out;
    if (!out.open(path)) {
        reportOutputFailure(song, path, out.failure());
        return;
    }
    out.write(text);
    if (!out.commit()) reportOutputFailure(song, path, out.failure());
}

bool reportOutputFailure(SongContext& song, const std::filesystem::path& path,
                         const OutputFailure& failure) {
    song.result.fail(outputFailure(path, failure));
    return false;
}

void reportRefusedRecord(SongContext& song, RecordError error) {
    song.result.fail(cannotConvert(song.number, describe(error)));
}

}  // namespace kdb2mid
