#include "convert/song_outputs.hpp"

#include <algorithm>
#include <system_error>

#include "export/ass_file.hpp"
#include "export/lrc_file.hpp"
#include "export/ultrastar.hpp"
#include "format/lyric_block.hpp"
#include "format/vni_text.hpp"
#include "messages/messages.hpp"
#include "midi/midi_file.hpp"
#include "midi/track_notes.hpp"
#include "midi/track_transform.hpp"

#ifndef KDB2MID_VERSION
#define KDB2MID_VERSION "unknown"
#endif

namespace kdb2mid {

namespace {

void writeTextFile(const std::filesystem::path& path, std::string_view text,
                   SongResult& result) {
    AtomicOutputFile out;
    if (!out.open(path)) {
        result.fail(outputFailure(path, out.failure()));
        return;
    }
    out.write(text);
    if (!out.commit()) result.fail(outputFailure(path, out.failure()));
}

bool fileExists(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

}  // namespace

MelodyChoice songMelody(const DecodedSong& song, const TimedLyrics& lyrics,
                        std::vector<std::vector<Note>>& notes) {
    notes.clear();
    for (const std::span<const std::uint8_t> track : dataTracksOf(song)) {
        notes.push_back(trackNotes(track));
    }
    std::vector<std::uint64_t> wordTicks;
    for (const TimedLine& line : lyrics.lines) {
        for (const TimedWord& word : line.words) wordTicks.push_back(word.tick);
    }
    return findMelody(notes, wordTicks);
}

std::string ultrastarText(const DecodedSong& song, const SongFiles& files,
                          std::span<const std::vector<Note>> notes, MelodyChoice melody) {
    UltraStarInput input;
    const std::vector<std::string>& titles = files.lyrics.titles;
    if (!titles.empty()) input.title = titles[0];
    if (titles.size() > 1) input.artist = titles[1];
    // The language of what is sung: a title's accented letter ("Frère
    // Jacques") says nothing about the lyrics.
    input.vietnamese = std::any_of(
        song.lyrics.events.begin(), song.lyrics.events.end(), [&song](const LyricEvent& event) {
            return hasEncodedLetters(textBytes(song.imageBytes(), event.text));
        });
    input.audioFile = files.audio.filename().string();
    const TempoMap& tempo = files.timing.tempo;
    for (const TimedLine& line : files.lyrics.lines) {
        std::vector<UltraStarWord>& phrase = input.phrases.emplace_back();
        for (const TimedWord& word : line.words) {
            phrase.push_back({word.text, word.tick, tempo.secondsAt(word.tick)});
        }
    }
    if (melody.track >= 0) {
        input.melody = timeNotes(notes[static_cast<std::size_t>(melody.track)],
                                 [&tempo](std::uint64_t tick) { return tempo.secondsAt(tick); });
    }
    return writeUltraStar(input);
}

namespace {

#ifdef KDB2MID_HAVE_AUDIO

// An audio encoder's output going into a file that appears complete or not at all.
class OutputAudioSink final : public AudioSink {
public:
    explicit OutputAudioSink(AtomicOutputFile& file) : file_(file) {}

    bool write(std::span<const std::uint8_t> bytes) override {
        file_.write(bytes);
        if (file_.failure().step != OutputFailure::Step::none) return false;
        position_ += bytes.size();
        length_ = std::max(length_, position_);
        return true;
    }
    bool seek(std::uint64_t offset) override {
        if (!file_.seek(offset)) return false;
        position_ = offset;
        return true;
    }
    std::uint64_t tell() const override { return position_; }
    std::uint64_t length() const override { return length_; }

private:
    AtomicOutputFile& file_;
    std::uint64_t position_ = 0;
    std::uint64_t length_ = 0;
};

// The song's .mid with the melody track silenced: an instrumental to sing over.
std::vector<std::uint8_t> midiWithoutTrack(DecodedSong& song, LyricText text, std::size_t muted,
                                           std::vector<std::uint8_t>& trackBuffer) {
    static constexpr std::uint8_t kEmptyTrack[] = {0x00, 0xFF, 0x2F, 0x00};
    std::vector<std::vector<std::uint8_t>> kept = song.adjustedTracks;
    if (song.adjustedTracks.empty()) {
        for (const std::span<const std::uint8_t> track : dataTracksOf(song)) {
            song.adjustedTracks.emplace_back(track.begin(), track.end());
        }
    }
    song.adjustedTracks[muted].assign(std::begin(kEmptyTrack), std::end(kEmptyTrack));
    std::vector<std::uint8_t> midi;
    VectorSink sink(midi);
    writeMidiFile(song, text, sink, trackBuffer);
    song.adjustedTracks = std::move(kept);
    return midi;
}

// Renders midi into path; false after reporting a failure.
bool renderAudio(ConvertWorkspace& work, std::int32_t songNumber,
                 std::span<const std::uint8_t> midi, const std::filesystem::path& path,
                 const ConvertOptions& options, SongResult& result) {
    if (!work.renderer) {
        AudioStatus status;
        RenderSettings settings;
        settings.format = options.audio.value_or(AudioFormat::ogg);
        work.renderer = SongRenderer::open(options.soundFont, settings, status);
        if (!work.renderer) {
            result.fail(cannotRender(songNumber, describe(status.error), status.detail));
            return false;
        }
    }
    AtomicOutputFile out;
    if (!out.open(path)) {
        result.fail(outputFailure(path, out.failure()));
        return false;
    }
    OutputAudioSink sink(out);
    const RenderResult rendered = work.renderer->render(midi, sink);
    if (!rendered.status) {
        out.abandon();
        // A full disk shows as the encoder's failure; the file's reason says more.
        if (out.failure().step != OutputFailure::Step::none) {
            result.fail(outputFailure(path, out.failure()));
        } else {
            result.fail(
                cannotRender(songNumber, describe(rendered.status.error), rendered.status.detail));
        }
        return false;
    }
    if (!out.commit()) {
        result.fail(outputFailure(path, out.failure()));
        return false;
    }
    result.audioSeconds += rendered.seconds;
    return true;
}

#endif  // KDB2MID_HAVE_AUDIO

}  // namespace

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

std::vector<std::string> songFileSuffixes(const ConvertOptions& options,
                                          std::span<const std::uint32_t> chorusParts) {
    std::vector<std::string> suffixes = {".mid"};
    if (options.karaoke) suffixes.emplace_back(".kar");
    if (options.lrc) suffixes.emplace_back(".lrc");
    if (options.ass) suffixes.emplace_back(".ass");
#ifdef KDB2MID_HAVE_AUDIO
    if (options.audio) suffixes.push_back(std::string(".") + audioFormatName(*options.audio));
#endif
    for (const std::uint32_t part : chorusParts) suffixes.push_back(chorusFileName("", part));
    return suffixes;
}

SongFiles plannedFiles(const DecodedSong& song, RecordError decoded, const std::string& stem,
                       std::int32_t songNumber, const std::filesystem::path& outFolder,
                       const ConvertOptions& options) {
    SongFiles files;
    files.midi = outputPath(outFolder, stem + ".mid");
    if (options.karaoke) files.karaoke = outputPath(outFolder, stem + ".kar");
    if (decoded != RecordError::none) return files;

    if (options.lrc || options.ass || options.ultrastar || options.muteMelody) {
        files.lyrics = timedLyrics(song.imageBytes(), song.lyrics);
        files.timing = songTiming(dataTracksOf(song), song.lyrics);
        const bool hasLyrics = !files.lyrics.lines.empty();
        files.lyricsMissing = !hasLyrics && (options.lrc || options.ass || options.ultrastar);
        if (hasLyrics && options.lrc) files.lrc = outputPath(outFolder, stem + ".lrc");
        if (hasLyrics && options.ass) files.ass = outputPath(outFolder, stem + ".ass");
        if (hasLyrics && options.ultrastar) {
            // Folders go by song number: a title can hold anything.
            const std::string number = std::to_string(songNumber);
            files.ultrastarFolder = outputPath(outFolder, number);
            files.ultrastarText = files.ultrastarFolder / (number + ".txt");
        }
    }
#ifdef KDB2MID_HAVE_AUDIO
    const AudioFormat format = options.audio.value_or(AudioFormat::ogg);
    const std::string extension = std::string(".") + audioFormatName(format);
    if (!files.ultrastarFolder.empty()) {
        files.audio = files.ultrastarFolder / (std::to_string(songNumber) + extension);
    } else if (options.audio) {
        files.audio = outputPath(outFolder, stem + extension);
    }
#endif
    return files;
}

bool allFilesExist(const SongFiles& files, const SongDatabase& database,
                   const std::optional<ChorusRequest>& chorus, const std::string& stem,
                   const std::filesystem::path& outFolder) {
    for (const std::filesystem::path* path :
         {&files.midi, &files.karaoke, &files.lrc, &files.ass, &files.audio,
          &files.ultrastarText}) {
        if (!path->empty() && !fileExists(*path)) return false;
    }
    if (!chorus) return true;
    const RandomAccessFile* index = database.chorusIndex();
    if (index == nullptr) return false;
    for (unsigned i = 0; i < chorus->count; ++i) {
        std::uint8_t bytes[kChorusEntrySize];
        const std::uint64_t number = std::uint64_t{chorus->firstEntry} + i;
        if (!index->readAt(number * kChorusEntrySize, bytes)) return false;
        const ChorusIndexEntry entry = parseChorusIndexEntry(bytes);
        if (!fileExists(outputPath(outFolder, chorusFileName(stem, entry.partNumber)))) return false;
    }
    return true;
}

void writeTimedOutputs(ConvertWorkspace& work, std::int32_t songNumber, SongFiles& files,
                       const ConvertOptions& options, SongResult& result) {
    result.withoutLyrics = files.lyricsMissing;
    const TempoMap& tempo = files.timing.tempo;
    if (!files.lrc.empty()) {
        writeTextFile(files.lrc,
                      writeLrc({files.lyrics, tempo, files.timing.lengthSeconds(), KDB2MID_VERSION}),
                      result);
    }
    if (!files.ass.empty()) {
        writeTextFile(files.ass, writeAss({files.lyrics, tempo, KDB2MID_VERSION}), result);
    }

    std::vector<std::vector<Note>> notes;
    MelodyChoice melody;
    if (!files.ultrastarText.empty() || options.muteMelody) {
        melody = songMelody(work.song, files.lyrics, notes);
        if (melody.track < 0 && !files.lyrics.lines.empty()) {
            result.messages.push_back(noMelodyNotice(songNumber, melody.coverage,
                                                     !files.ultrastarText.empty()));
        }
    }
    if (!files.ultrastarFolder.empty()) {
        if (const int error = createFolder(files.ultrastarFolder); error != 0) {
            result.fail(cannotCreateFolder(files.ultrastarFolder, error));
            return;
        }
    }
#ifdef KDB2MID_HAVE_AUDIO
    if (!files.audio.empty()) {
        std::vector<std::uint8_t> muted;
        if (options.muteMelody && melody.track >= 0) {
            muted = midiWithoutTrack(work.song, options.lyrics,
                                     static_cast<std::size_t>(melody.track), work.trackBuffer);
        }
        const std::span<const std::uint8_t> midi =
            muted.empty() ? std::span<const std::uint8_t>(work.midiBuffer) : muted;
        if (!renderAudio(work, songNumber, midi, files.audio, options, result)) {
            // The song's folder holds nothing the games could use without its audio.
            std::error_code error;
            if (!files.ultrastarFolder.empty()) std::filesystem::remove(files.ultrastarFolder, error);
            return;
        }
    }
#endif
    if (!files.ultrastarText.empty()) {
        writeTextFile(files.ultrastarText, ultrastarText(work.song, files, notes, melody), result);
    }
}

}  // namespace kdb2mid
