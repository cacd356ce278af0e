// What several outputs of one song share, each made once on first use and
// named here rather than by the output that happens to make it first: the
// song's ASS document (SONG.ass, and the subtitles a video draws) and its
// rendered sound (the audio files, the UltraStar folder's, the video's
// soundtrack, the MP3+G's MP3). No writer reads another writer's files or
// depends on the order of the outputs table: each asks its song for these.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

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
    // leave out (leadInFrames).
    const RenderedAudio* audio();
    // The same, for a song split in parts (splitsMelody): the full song and
    // its instrumental (the guide melody is their difference), each with the
    // same lead-in.
    const RenderedParts* parts();
#endif

private:
    SongContext& song_;
    std::optional<std::string> ass_;
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
