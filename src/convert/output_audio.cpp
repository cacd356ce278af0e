// SONG.<format>: the song played through the synthesizer (audio/), and the
// one place a song is rendered for every output that needs its sound.
#ifdef KDB2MID_HAVE_AUDIO

#include <algorithm>
#include <cctype>

#include "audio/audio_format.hpp"
#include "audio/song_renderer.hpp"
#include "convert/outputs.hpp"
#include "messages/messages.hpp"
#include "midi/midi_file.hpp"
#include "midi/track_transform.hpp"

namespace kdb2mid {

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

// SONG.<format> whenever --audio asks for it, --ultrastar or not: the option
// writes what its help says, and the game folder's copy (the same bytes,
// from the same render) stays with the game when the folder is moved.
void planAudio(SongContext& song, std::vector<std::filesystem::path>& files) {
    files.push_back(song.file(std::string(".") + audioFormatName(song.options.audioFormat)));
}

bool writeAudio(SongContext& song, std::span<const std::filesystem::path> files) {
    song.writeRenderedAudio(files[0]);
    return true;
}

std::string takeAudioFormat(std::string_view value, ConvertOptions& options) {
    std::string name(value);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const std::optional<AudioFormat> format = parseAudioFormat(name);
    if (!format || !audioFormatSupported(*format)) {
        return audioFormatUnsupported(name, supportedAudioFormatList());
    }
    options.audioFormat = *format;
    return {};
}

}  // namespace

bool SongContext::openRenderer() {
    if (work.renderer) return true;
    AudioStatus status;
    RenderSettings settings;
    settings.format = options.audioFormat;
    settings.loudnessTarget = options.loudness;
    work.renderer = SongRenderer::open(options.soundFont, settings, status);
    if (!work.renderer) {
        result.fail(cannotRender(number, describe(status)));
        return false;
    }
    return true;
}

std::span<const std::uint8_t> SongContext::midiToRender(std::vector<std::uint8_t>& muted) {
    if (options.muteMelody && melody().track >= 0) {
        muted = midiWithoutNotes(work.song, options.lyrics, static_cast<std::size_t>(melody().track),
                                 false, work.trackBuffer);
        return muted;
    }
    if (!midiMade) {
        // --resume left the .mid as it was: the same bytes, made for the synthesizer alone.
        work.midiBuffer.clear();
        VectorSink memory(work.midiBuffer);
        midiMade = writeMidiFile(work.song, options.lyrics, memory, work.trackBuffer) ==
                   RecordError::none;
    }
    return work.midiBuffer;
}

SongParts SongContext::partsToRender(std::vector<std::uint8_t>& full,
                                     std::vector<std::uint8_t>& guide) {
    const auto track = static_cast<std::size_t>(melody().track);
    guide = midiWithoutNotes(work.song, options.lyrics, track, true, work.trackBuffer);
    // The song as it renders alone (--mute-melody never comes with parts), so
    // that its file is the same with --stems or without.
    const std::span<const std::uint8_t> song = midiToRender(full);
    return {song, guide};
}

// Whether more than one planned output takes the song's sound: then it is
// rendered once into memory and each encodes from there.
static bool soundShared(const SongContext& song) {
    int takers = 0;
    for (const PlannedOutput& output : song.planned) {
        if (output.row->needs.renderedAudio && !output.files.empty() && !output.done) ++takers;
    }
    return takers > 1;
}

// Counts a song's render and says what the user should know of it: a song
// with nothing to hear, or one whose peaks left no room for the loudness
// asked for (half a loudness unit short is within what meters agree on).
static void noteRender(SongContext& song, const RenderResult& rendered) {
    constexpr double kLoudnessTolerance = 0.5;
    song.result.audioSeconds += rendered.seconds;
    const LoudnessFacts& facts = rendered.loudness;
    if (facts.silent) song.result.messages.push_back(silentSongNotice(song.number));
    if (facts.reached && song.options.loudness &&
        *facts.reached < *song.options.loudness - kLoudnessTolerance) {
        song.result.belowLoudness = true;
        song.result.messages.push_back(
            loudnessHeldNotice(song.number, *facts.reached, *song.options.loudness));
    }
}

// Counts a render kept in memory, or reports why there is none.
bool SongContext::keepRender(const RenderResult& rendered) {
    if (!rendered.status) {
        audioFailed_ = true;
        result.fail(cannotRender(number, describe(rendered.status)));
        return false;
    }
    noteRender(*this, rendered);
    return true;
}

// Frames of silence the song's sound is rendered with first: the karaoke
// pictures' lead-in when the song gets one (the video, the MP3+G), which the
// audio files leave out; none otherwise.
static std::uint64_t renderLeadIn(SongContext& song) {
    if (!song.writes(Output::video) && !song.writes(Output::cdg) && !song.writes(Output::cdgZip)) {
        return 0;
    }
    return static_cast<std::uint64_t>(song.pictureLeadIn()) *
           static_cast<std::uint64_t>(audioSampleRate(song.options.audioFormat)) / 100;
}

const RenderedParts* SongContext::renderedParts() {
    if (parts_) return &*parts_;
    if (audioFailed_ || !openRenderer()) return nullptr;
    std::vector<std::uint8_t> full;
    std::vector<std::uint8_t> guide;
    RenderedParts parts;
    if (!keepRender(work.renderer->renderParts(partsToRender(full, guide), parts,
                                               renderLeadIn(*this)))) {
        return nullptr;
    }
    parts_ = std::move(parts);
    return &*parts_;
}

const RenderedAudio* SongContext::renderedAudio() {
    if (splitsMelody()) {
        const RenderedParts* parts = renderedParts();
        return parts != nullptr ? &parts->full : nullptr;
    }
    if (audio_) return &*audio_;
    if (audioFailed_ || !openRenderer()) return nullptr;
    std::vector<std::uint8_t> muted;
    RenderedAudio audio;
    if (!keepRender(work.renderer->renderSong(midiToRender(muted), audio, renderLeadIn(*this)))) {
        return nullptr;
    }
    audio_ = std::move(audio);
    return &*audio_;
}

// The full song into path, its instrumental and guide melody beside it,
// from one render; each file complete or absent.
bool SongContext::writeRenderedParts(const std::filesystem::path& path, bool shared) {
    const RenderedParts* parts = shared ? renderedParts() : nullptr;
    if (shared ? parts == nullptr : !openRenderer()) return false;
    const std::filesystem::path paths[3] = {path, partFile(path, kInstrumentalPart),
                                            partFile(path, kGuidePart)};
    AtomicOutputFile files[3];
    for (int i = 0; i < 3; ++i) {
        if (!files[i].open(paths[i])) {
            return reportOutputFailure(*this, paths[i], files[i].failure());
        }
    }
    OutputAudioSink sinks[3] = {OutputAudioSink(files[0]), OutputAudioSink(files[1]),
                                OutputAudioSink(files[2])};
    RenderResult rendered;
    if (shared) {
        rendered.status = encodeAudio(parts->full, options.audioFormat, sinks[0]);
        if (rendered.status) {
            rendered.status = encodeAudio(parts->instrumental, options.audioFormat, sinks[1]);
        }
        if (rendered.status) rendered.status = encodeGuide(*parts, options.audioFormat, sinks[2]);
    } else {
        std::vector<std::uint8_t> full;
        std::vector<std::uint8_t> guide;
        rendered = work.renderer->renderParts(partsToRender(full, guide), sinks[0], sinks[1],
                                              sinks[2]);
    }
    if (!rendered.status) {
        for (AtomicOutputFile& file : files) file.abandon();
        for (int i = 0; i < 3; ++i) {
            if (files[i].failure().step != OutputFailure::Step::none) {
                return reportOutputFailure(*this, paths[i], files[i].failure());
            }
        }
        result.fail(cannotRender(number, describe(rendered.status)));
        return false;
    }
    bool committed = true;
    for (int i = 0; i < 3; ++i) {
        if (!files[i].commit()) {
            committed = reportOutputFailure(*this, paths[i], files[i].failure());
        }
    }
    if (!shared) noteRender(*this, rendered);
    return committed;
}

const RenderedAudio* SongContext::pictureAudio() {
    // Rendered with the lead-in in front (renderLeadIn) when a picture is planned.
    return renderedAudio();
}

bool SongContext::writeRenderedAudio(const std::filesystem::path& path) {
    const bool shared = soundShared(*this);
    if (splitsMelody()) return writeRenderedParts(path, shared);
    const RenderedAudio* audio = shared ? renderedAudio() : nullptr;
    if (shared ? audio == nullptr : !openRenderer()) return false;
    AtomicOutputFile out;
    if (!out.open(path)) return reportOutputFailure(*this, path, out.failure());
    OutputAudioSink sink(out);
    RenderResult rendered;
    if (shared) {
        rendered.status = encodeAudio(*audio, options.audioFormat, sink);
    } else {
        // Alone, the song is encoded as it is rendered, without a second copy in memory.
        std::vector<std::uint8_t> muted;
        rendered = work.renderer->render(midiToRender(muted), sink);
    }
    if (!rendered.status) {
        out.abandon();
        // A full disk shows as the encoder's failure; the file's reason says more.
        if (out.failure().step != OutputFailure::Step::none) {
            return reportOutputFailure(*this, path, out.failure());
        }
        result.fail(cannotRender(number, describe(rendered.status)));
        return false;
    }
    if (!out.commit()) return reportOutputFailure(*this, path, out.failure());
    if (!shared) noteRender(*this, rendered);
    return true;
}

OutputRow audioOutput() {
    OutputRow row;
    row.id = Output::audio;
    row.option = "--audio";
    row.valueName = "FORMAT";
    for (const AudioFormat format : kAudioFormats) row.choices.emplace_back(audioFormatName(format));
    row.help = audioOptionHelp();
    row.needs.renderedAudio = true;
    row.plan = planAudio;
    row.endings = [](const ConvertOptions& options) {
        return std::vector<std::string>{std::string(".") + audioFormatName(options.audioFormat)};
    };
    row.write = writeAudio;
    row.takeValue = takeAudioFormat;
    return row;
}

}  // namespace kdb2mid

#endif  // KDB2MID_HAVE_AUDIO
