// What several outputs of one song share, each made once on first use and
// named here rather than by the output that happens to make it first: the
// song's ASS document (SONG.ass, and the subtitles a video draws) and its
// rendered sound (the audio files, the UltraStar folder's, the video's
// soundtrack, the MP3+G's MP3). No writer reads another writer's files or
// depends on the order of the outputs table: each asks its song for these.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format/record_error.hpp"
#ifdef KDB2MID_HAVE_AUDIO
#include "audio/song_renderer.hpp"
#endif

namespace kdb2mid {

class SongContext;

class SongProducts {
public:
    explicit SongProducts(SongContext& song) : song_(song) {}
    SongProducts(const SongProducts&) = delete;
    SongProducts& operator=(const SongProducts&) = delete;

    // The lyrics as ASS subtitles. When a planned output draws them over
    // its pictures (needs.subtitles), they start after the pictures' lead-in
    // and SONG.ass is that same document; otherwise they keep the song's
    // own times, as the audio files do.
    const std::string& assDocument();

    // The song as a Standard MIDI File, made once into work.midiBuffer when
    // its sound is rendered (the .mid's writer writes those bytes, and the
    // synthesizer plays them); why the record was refused otherwise.
    RecordError midiFile();

#ifdef KDB2MID_HAVE_AUDIO
    // The song's sound, encoded into path in options.audioFormat (complete
    // or absent), with its instrumental and guide melody beside it when the
    // song is split (splitsMelody); false after reporting a failure.
    bool writeAudio(const std::filesystem::path& path);
    // The song played through the synthesizer at its loudness, rendered on
    // first use and shared by every output that needs its sound; null after
    // reporting a failure. The one place a song is rendered: a song is never
    // rendered twice. When a planned output has pictures (needs.pictures) it
    // starts with the pictures' lead-in of silence, which the audio files
    // leave out (leadInFrames). Not for a song split in parts
    // (splitsMelody), whose sound is parts().
    const RenderedAudio* audio();
    // The same, for a song split in parts (splitsMelody): the full song and
    // its guide melody, from which each pass makes the full song, the
    // instrumental and the guide, with the same lead-in.
    const RenderedParts* parts();
    // The full song's sound, from audio() or parts(), encoded into out as
    // format: the song alone or, withLeadIn, after the pictures' lead-in.
    // Null when there is no render (the failure was reported); seconds: the
    // sound's length as encoded.
    std::optional<AudioStatus> encodeSong(AudioFormat format, AudioSink& out, bool withLeadIn,
                                          double& seconds);
#endif

    // A product that more than one output of a writer file takes (the
    // MP3+G pair, written loose by --cdg and zipped by --cdg-zip), known by
    // its name: made by make() on first use, and the same one after, whichever
    // output asks first. make returns null after reporting why it could
    // not; the failure is then not reported again.
    template <class T, class Make>
    const T* named(std::string_view name, Make make) {
        for (const auto& [key, product] : named_) {
            if (key == name) return static_cast<const T*>(product.get());
        }
        std::shared_ptr<T> made = make();
        const T* product = made.get();
        named_.emplace_back(std::string(name), std::move(made));
        return product;
    }

private:
    SongContext& song_;
    std::optional<std::string> ass_;
    std::optional<RecordError> midi_;
    std::vector<std::pair<std::string, std::shared_ptr<const void>>> named_;
#ifdef KDB2MID_HAVE_AUDIO
    bool openRenderer();
    std::span<const std::uint8_t> midiToRender(std::vector<std::uint8_t>& muted);
    SongParts partsToRender(std::vector<std::uint8_t>& full, std::vector<std::uint8_t>& guide);
    bool writeParts(const std::filesystem::path& path, bool shared);
    bool keepRender(const RenderResult& rendered);
    std::optional<RenderedAudio> audio_;
    std::optional<RenderedParts> parts_;
    bool failed_ = false;
#endif
};

}  // namespace kdb2mid
