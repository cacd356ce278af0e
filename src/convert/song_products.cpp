// The song's shared products. The sound is rendered here and nowhere else:
// into memory once when more than one output takes it, straight into the
// encoder when one file is all that needs it.
#include "convert/song_products.hpp"

#include <algorithm>

#include "convert/outputs.hpp"
#include "export/ass_file.hpp"
#include "messages/messages.hpp"
#include "midi/midi_file.hpp"
#ifdef KDB2MID_HAVE_AUDIO
#include "audio/audio_format.hpp"
#include "midi/track_transform.hpp"
#endif

#ifndef KDB2MID_VERSION
#define KDB2MID_VERSION "unknown"
#endif

namespace kdb2mid {

RecordError SongProducts::midiFile() {
    if (midi_) return *midi_;
    ConvertWorkspace& work = song_.work;
    work.midiBuffer.clear();
    VectorSink memory(work.midiBuffer);
    midi_ = writeMidiFile(work.song, song_.options.lyrics, memory, work.trackBuffer);
    return *midi_;
}

const std::string& SongProducts::assDocument() {
    if (ass_) return *ass_;
    SongContext& song = song_;
    const std::int64_t leadIn = song.plans(&OutputNeeds::subtitles) ? song.pictureLeadIn() : 0;
    ass_ = writeAss({song.lyrics(), song.timing().tempo, KDB2MID_VERSION, leadIn});
    return *ass_;
}

#ifdef KDB2MID_HAVE_AUDIO

namespace {

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

// The song's .mid with one data track's notes left out (every other event
// of it kept, so its channels' set-up still reaches other tracks' notes), or,
// with only, every data track's notes but that one's.
std::vector<std::uint8_t> midiWithoutNotes(DecodedSong& song, LyricText text, std::size_t track,
                                           bool only, std::vector<std::uint8_t>& trackBuffer) {
    std::vector<std::vector<std::uint8_t>> kept = song.adjustedTracks;
    if (song.adjustedTracks.empty()) {
        for (const std::span<const std::uint8_t> data : dataTracksOf(song)) {
            song.adjustedTracks.emplace_back(data.begin(), data.end());
        }
    }
    for (std::size_t j = 0; j < song.adjustedTracks.size(); ++j) {
        if ((j == track) != only) song.adjustedTracks[j] = withoutNotes(song.adjustedTracks[j]);
    }
    std::vector<std::uint8_t> midi;
    VectorSink sink(midi);
    writeMidiFile(song, text, sink, trackBuffer);
    song.adjustedTracks = std::move(kept);
    return midi;
}

// Whether more than one planned output takes the song's sound: then it is
// rendered once into memory and each encodes from there.
bool soundShared(const SongContext& song) {
    int takers = 0;
    for (const PlannedOutput& output : song.planned()) {
        if (output.row->needs.renderedAudio && !output.files.empty() && !output.done) ++takers;
    }
    return takers > 1;
}

// Counts a song's render and says what the user should know of it: a song
// with nothing to hear, or one whose peaks left no room for the loudness
// asked for (half a loudness unit short is within what meters agree on).
void noteRender(SongContext& song, const RenderResult& rendered) {
    constexpr double kLoudnessTolerance = 0.5;
    song.result.secondsMade[outputIndex(Output::audio)] += rendered.seconds;
    const LoudnessFacts& facts = rendered.loudness;
    if (facts.silent) song.result.messages.push_back(silentSongNotice(song.number));
    if (facts.reached && song.options.loudness &&
        *facts.reached < *song.options.loudness - kLoudnessTolerance) {
        song.result.belowLoudness = true;
        song.result.messages.push_back(
            loudnessHeldNotice(song.number, *facts.reached, *song.options.loudness));
    }
}

// Frames of silence the song's sound is rendered with first: the karaoke
// pictures' lead-in when the song gets one (the video, the MP3+G), which the
// audio files leave out; none otherwise.
std::uint64_t renderLeadIn(SongContext& song) {
    if (!song.plans(&OutputNeeds::pictures)) return 0;
    return static_cast<std::uint64_t>(song.pictureLeadIn()) *
           static_cast<std::uint64_t>(audioSampleRate(song.options.audioFormat)) / 100;
}

}  // namespace

bool SongProducts::openRenderer() {
    SongContext& song = song_;
    if (song.work.renderer) return true;
    AudioStatus status;
    RenderSettings settings;
    settings.format = song.options.audioFormat;
    settings.loudnessTarget = song.options.loudness;
    song.work.renderer = SongRenderer::open(song.options.soundFont, settings, status);
    if (!song.work.renderer) {
        song.result.fail(cannotRender(song.number, describe(status)));
        return false;
    }
    return true;
}

std::span<const std::uint8_t> SongProducts::midiToRender(std::vector<std::uint8_t>& muted) {
    SongContext& song = song_;
    ConvertWorkspace& work = song.work;
    if (song.options.muteMelody && song.melody().track >= 0) {
        muted = midiWithoutNotes(work.song, song.options.lyrics,
                                 static_cast<std::size_t>(song.melody().track), false,
                                 work.trackBuffer);
        return muted;
    }
    // Made by the .mid's writer, or here when --resume left the .mid as it was.
    midiFile();
    return work.midiBuffer;
}

SongParts SongProducts::partsToRender(std::vector<std::uint8_t>& full,
                                      std::vector<std::uint8_t>& guide) {
    SongContext& song = song_;
    const auto track = static_cast<std::size_t>(song.melody().track);
    guide = midiWithoutNotes(song.work.song, song.options.lyrics, track, true,
                             song.work.trackBuffer);
    // The song as it renders alone (--mute-melody never comes with parts), so
    // that its file is the same with --stems or without.
    const std::span<const std::uint8_t> whole = midiToRender(full);
    return {whole, guide};
}

// Counts a render kept in memory, or reports why there is none.
bool SongProducts::keepRender(const RenderResult& rendered) {
    if (!rendered.status) {
        failed_ = true;
        song_.result.fail(cannotRender(song_.number, describe(rendered.status)));
        return false;
    }
    noteRender(song_, rendered);
    return true;
}

const RenderedParts* SongProducts::parts() {
    if (parts_) return &*parts_;
    if (failed_ || !openRenderer()) return nullptr;
    std::vector<std::uint8_t> full;
    std::vector<std::uint8_t> guide;
    RenderedParts parts;
    if (!keepRender(song_.work.renderer->renderParts(partsToRender(full, guide), parts,
                                                     renderLeadIn(song_)))) {
        return nullptr;
    }
    parts_ = std::move(parts);
    return &*parts_;
}

const RenderedAudio* SongProducts::audio() {
    if (audio_) return &*audio_;
    if (failed_ || !openRenderer()) return nullptr;
    std::vector<std::uint8_t> muted;
    RenderedAudio audio;
    if (!keepRender(song_.work.renderer->renderSong(midiToRender(muted), audio,
                                                    renderLeadIn(song_)))) {
        return nullptr;
    }
    audio_ = std::move(audio);
    return &*audio_;
}

std::optional<AudioStatus> SongProducts::encodeSong(AudioFormat format, AudioSink& out,
                                                    bool withLeadIn, double& seconds) {
    if (song_.splitsMelody()) {
        const RenderedParts* split = parts();
        if (split == nullptr) return std::nullopt;
        seconds = static_cast<double>(withLeadIn ? split->frames() : split->songFrames()) /
                  split->sampleRate;
        return encodeParts(*split, format, {&out, nullptr, nullptr}, withLeadIn);
    }
    const RenderedAudio* rendered = audio();
    if (rendered == nullptr) return std::nullopt;
    seconds = withLeadIn ? rendered->seconds()
                         : static_cast<double>(rendered->song().size() / kAudioChannels) /
                               rendered->sampleRate;
    return encodeAudio(*rendered, format, out, withLeadIn);
}

// The full song into path, its instrumental and guide melody beside it,
// from one render; each file complete or absent.
bool SongProducts::writeParts(const std::filesystem::path& path, bool shared) {
    SongContext& song = song_;
    const AudioFormat format = song.options.audioFormat;
    const RenderedParts* split = shared ? parts() : nullptr;
    if (shared ? split == nullptr : !openRenderer()) return false;
    const std::filesystem::path paths[3] = {path, partFile(path, kInstrumentalPart),
                                            partFile(path, kGuidePart)};
    AtomicOutputFile files[3];
    for (int i = 0; i < 3; ++i) {
        if (!files[i].open(paths[i])) return reportOutputFailure(song, paths[i], files[i].failure());
    }
    OutputAudioSink sinks[3] = {OutputAudioSink(files[0]), OutputAudioSink(files[1]),
                                OutputAudioSink(files[2])};
    RenderResult rendered;
    if (shared) {
        rendered.status = encodeParts(*split, format, {&sinks[0], &sinks[1], &sinks[2]});
    } else {
        std::vector<std::uint8_t> full;
        std::vector<std::uint8_t> guide;
        rendered = song.work.renderer->renderParts(partsToRender(full, guide), sinks[0], sinks[1],
                                                   sinks[2]);
    }
    if (!rendered.status) {
        for (AtomicOutputFile& file : files) file.abandon();
        for (int i = 0; i < 3; ++i) {
            if (files[i].failure().step != OutputFailure::Step::none) {
                return reportOutputFailure(song, paths[i], files[i].failure());
            }
        }
        song.result.fail(cannotRender(song.number, describe(rendered.status)));
        return false;
    }
    bool committed = true;
    for (int i = 0; i < 3; ++i) {
        if (!files[i].commit()) committed = reportOutputFailure(song, paths[i], files[i].failure());
    }
    if (!shared) noteRender(song, rendered);
    return committed;
}

bool SongProducts::writeAudio(const std::filesystem::path& path) {
    SongContext& song = song_;
    const bool shared = soundShared(song);
    if (song.splitsMelody()) return writeParts(path, shared);
    const RenderedAudio* rendered = shared ? audio() : nullptr;
    if (shared ? rendered == nullptr : !openRenderer()) return false;
    AtomicOutputFile out;
    if (!out.open(path)) return reportOutputFailure(song, path, out.failure());
    OutputAudioSink sink(out);
    RenderResult result;
    if (shared) {
        result.status = encodeAudio(*rendered, song.options.audioFormat, sink);
    } else {
        // Alone, the song is encoded as it is rendered, without a second copy in memory.
        std::vector<std::uint8_t> muted;
        result = song.work.renderer->render(midiToRender(muted), sink);
    }
    if (!result.status) {
        out.abandon();
        // A full disk shows as the encoder's failure; the file's reason says more.
        if (out.failure().step != OutputFailure::Step::none) {
            return reportOutputFailure(song, path, out.failure());
        }
        song.result.fail(cannotRender(song.number, describe(result.status)));
        return false;
    }
    if (!out.commit()) return reportOutputFailure(song, path, out.failure());
    if (!shared) noteRender(song, result);
    return true;
}

#endif  // KDB2MID_HAVE_AUDIO

}  // namespace kdb2mid
