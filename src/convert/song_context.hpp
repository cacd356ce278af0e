// One song on its way to its files: the song read once (decoded, key and
// tempo changed), what the writers share of it, made on first use (lyrics
// with their times, melody, notes; the ASS document and the rendered audio
// in song_products.hpp), and where they report. Writers read it; the walk in outputs.hpp fills its plan.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/convert_song.hpp"
#include "convert/output_row.hpp"
#include "convert/output_set.hpp"
#include "convert/song_products.hpp"
#include "export/timed_lyrics.hpp"
#include "format/record_error.hpp"
#include "inspect/melody.hpp"
#include "midi/tempo_map.hpp"
#include "midi/track_notes.hpp"

namespace kdb2mid {

struct PlannedOutput {
    const OutputRow* row;
    std::vector<std::filesystem::path> files;  // may be empty: nothing to write for this song
    bool done = false;  // --resume found every one of its files: not written again
};

// One song on its way to its files: what the writers read and where they
// report. Everything beyond the decoded song is made on first use; what the
// song is and what it is to get (its plan) is read-only to the writers.
class SongContext {
public:
    SongContext(std::int32_t songNumber, std::string fileStem, const std::filesystem::path& folder,
                const ConvertOptions& convertOptions, ConvertWorkspace& workspace,
                SongResult& songResult, RecordError decodedAs)
        : number(songNumber), stem(std::move(fileStem)), outFolder(folder),
          options(convertOptions), work(workspace), result(songResult), decoded(decodedAs) {}

    const std::int32_t number;
    const std::string stem;  // the files' name before the extension
    const std::filesystem::path& outFolder;
    const ConvertOptions& options;
    // work.song: the song decoded once, its tracks changed once by --transpose/--tempo.
    ConvertWorkspace& work;
    SongResult& result;
    // Why the record was refused; none when work.song holds the song.
    const RecordError decoded;

    // The output folder's file named stem + extension (".lrc").
    std::filesystem::path file(std::string_view extension) const;

    // The words with their ticks, the song's tempo map and length.
    const TimedLyrics& lyrics();
    const SongTiming& timing();
    // Hundredths of silence the karaoke pictures (the video, the MP3+G) and
    // their sound start with, so that the title screen has its time
    // (titleLeadIn); the audio files and the subtitles alone keep the song's.
    std::int64_t pictureLeadIn();
    // The data track the singer follows and every data track's notes. The
    // first call reports, as a notice, a song with words but no such track.
    const MelodyChoice& melody();
    const std::vector<std::vector<Note>>& notes();

    // The outputs this song gets, with their files (planOutputs), and which
    // of them --resume found done (markFinishedOutputs).
    const std::vector<PlannedOutput>& planned() const noexcept { return planned_; }
    // Whether a planned output that writes files for this song has the need
    // (&OutputNeeds::pictures).
    bool plans(bool OutputNeeds::*need) const;
    // The row of the planned output that writes path; null when none does.
    const OutputRow* plannedBy(const std::filesystem::path& path) const;

    // Whether an output still to be written renders the song's sound: the
    // .mid is then made in memory first (SongProducts::midiFile) and the
    // synthesizer plays the same bytes.
    bool midiInMemory() const;

    // Whether the song's sound is rendered in two parts, its guide melody
    // apart from the rest (--stems, and a track plays the melody). The first
    // call with --stems reports a song it cannot split, and a melody track
    // that also plays accompaniment, as notices.
    bool splitsMelody();

    // The song's ASS document and rendered sound, shared by the outputs
    // that need them and made once.
    SongProducts products{*this};

private:
    friend void planOutputs(SongContext& song);
    friend bool markFinishedOutputs(SongContext& song);

    std::vector<PlannedOutput> planned_;
    std::optional<TimedLyrics> lyrics_;
    std::optional<SongTiming> timing_;
    std::optional<MelodyChoice> melody_;
    std::vector<std::vector<Note>> notes_;
    std::optional<bool> splits_;
};

}  // namespace kdb2mid
