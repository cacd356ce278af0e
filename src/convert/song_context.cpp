// The song's context: its parts made on first use and what its plan holds.
#include "convert/song_context.hpp"

#include <algorithm>

#include "convert/outputs.hpp"
#include "export/title_lead_in.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

std::filesystem::path SongContext::file(std::string_view extension) const {
    return outputPath(outFolder, stem + std::string(extension));
}

const TimedLyrics& SongContext::lyrics() {
    if (!lyrics_) lyrics_ = timedLyrics(work.song.imageBytes(), work.song.lyrics);
    return *lyrics_;
}

const SongTiming& SongContext::timing() {
    if (!timing_) timing_ = songTiming(dataTracksOf(work.song), work.song.lyrics);
    return *timing_;
}

std::int64_t SongContext::pictureLeadIn() { return titleLeadIn(lyrics(), timing().tempo); }

const std::vector<std::vector<Note>>& SongContext::notes() {
    melody();
    return notes_;
}

const MelodyChoice& SongContext::melody() {
    if (melody_) return *melody_;
    melody_ = songMelody(work.song, lyrics(), notes_);
    if (melody_->track < 0 && !lyrics().lines.empty()) {
        result.messages.push_back(
            // A song with lyric lines gets every output asked for.
            noMelodyNotice(number, melody_->coverage, options.outputs.has(Output::ultrastar),
                           options.outputs.has(Output::stems)));
    }
    return *melody_;
}

bool SongContext::splitsMelody() {
    if (splits_) return *splits_;
    splits_ = false;
    if (!options.outputs.has(Output::stems)) return false;
    if (lyrics().lines.empty()) {
        result.messages.push_back(noLyricsToSplitNotice(number));
        return false;
    }
    const int track = melody().track;  // reports a song without one
    if (track < 0) return false;
    if (melodyShared(notes(), static_cast<std::size_t>(track))) {
        result.messages.push_back(sharedMelodyNotice(number));
    }
    splits_ = true;
    return true;
}

bool SongContext::plans(bool OutputNeeds::*need) const {
    return std::any_of(planned_.begin(), planned_.end(), [need](const PlannedOutput& output) {
        return output.row->needs.*need && !output.files.empty();
    });
}

bool SongContext::midiInMemory() const {
    return std::any_of(planned_.begin(), planned_.end(), [](const PlannedOutput& output) {
        return output.row->needs.renderedAudio && !output.files.empty() && !output.done;
    });
}

const OutputRow* SongContext::plannedBy(const std::filesystem::path& path) const {
    for (const PlannedOutput& output : planned_) {
        if (std::find(output.files.begin(), output.files.end(), path) != output.files.end()) {
            return output.row;
        }
    }
    return nullptr;
}

}  // namespace kdb2mid
