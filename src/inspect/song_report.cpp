#include "inspect/song_report.hpp"

#include <new>
#include <vector>

#include "format/display_text.hpp"
#include "messages/command_help.hpp"
#include "messages/info_messages.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

void describeChorus(const SongFacts& facts, std::string& text) {
    if (!facts.chorusCount) {
        text += info::field(info::kChorusRecordings, info::kNoChorus);
        return;
    }
    std::string summary = info::chorusSummary(*facts.chorusCount, facts.chorusFirstEntry);
    if (!facts.chorusIndexOpen) {
        summary += std::string(" (") + kChorusIndexMissing + ")";
    } else if (!facts.chorusDataOpen) {
        summary += std::string(" (") + kChorusDataMissing + ")";
    }
    text += info::field(info::kChorusRecordings, summary);
    if (!facts.chorusIndexOpen) return;

    for (const ChorusPartFacts& part : facts.chorusParts) {
        std::string line = info::chorusPartPrefix(static_cast<std::int32_t>(part.part));
        if (part.problem == ChorusPartProblem::endBeforeStart) {
            line += kChorusEndBeforeStart;
        } else {
            line += info::chorusPartFile(part.bytes, part.file);
            if (part.problem == ChorusPartProblem::pastDataEnd) {
                line += std::string(", ") + kChorusPastDataEnd;
            }
        }
        text += line + "\n";
    }
    if (facts.chorusParts.size() < *facts.chorusCount) {
        text += "  " + chorusIndexEndsBefore(std::uint64_t{facts.chorusFirstEntry} +
                                             facts.chorusParts.size()) +
                "\n";
    }
}

}  // namespace

std::string infoReport(const SongFacts& facts) {
    std::string text = info::field(info::kSong, std::to_string(facts.song));
    text += info::field(info::kRecord, info::recordSize(facts.recordBytes, facts.imageBytes));
    if (facts.titles.empty()) text += info::field(info::kTitle, info::kNoTitle);
    for (const std::vector<std::uint8_t>& title : facts.titles) {
        text += info::field(info::kTitle, displayText(title));
    }
    text += info::field(info::kDataTracks, std::to_string(facts.tracks));
    text += info::field(info::kLength, info::songLength(facts.ticks, facts.seconds));
    text += info::field(info::kLyricLines, std::to_string(facts.lyricLineCount));
    text += info::field(info::kLyricEvents, std::to_string(facts.lyricEvents));
    text += info::field(info::kTwoByteLetters, facts.twoByteLetters ? kTwoByteLettersYes : info::kNo);
    text += info::field(info::kMelody, describeMelody(facts.melody));
    describeChorus(facts, text);

    if (!facts.lyricLines.empty()) text += std::string(info::kLyricsHeading) + "\n";
    for (const std::vector<std::uint8_t>& line : facts.lyricLines) {
        std::string shown = displayText(line);
        const auto first = shown.find_first_not_of(' ');
        shown = first == std::string::npos ? std::string{} : shown.substr(first);
        text += shown.empty() ? "\n" : "  " + shown + "\n";
    }
    return text;
}

std::string describeMelody(const MelodyFacts& melody) {
    return melodyPhrase(melody.track, melody.words, melody.covered);
}

RecordError describeSong(std::int32_t songNumber, std::span<const std::uint8_t> record,
                         const ChorusFacts& chorus, DecodedSong& song, std::string& text) {
    text.clear();
    SongFacts facts;
    const RecordError error = gatherSongFacts(songNumber, record, chorus, song, facts);
    if (error == RecordError::none) text = infoReport(facts);
    return error;
}

bool showSongInfo(const std::filesystem::path& folder, std::int32_t songNumber, OutputForm form,
                  const MessageSink& out) {
    SongDatabase database;
    if (const auto error = database.open(folder); error != SongDatabase::OpenError::none) {
        out.error(databaseOpenFailure(error, folder));
        return false;
    }
    try {
        SongFacts facts;
        if (const std::string why = readSongFacts(database, songNumber, facts); !why.empty()) {
            out.error(cannotReadSong(songNumber, why));
            return false;
        }
        std::string text = form == OutputForm::json ? infoJson(facts) : infoReport(facts);
        // The report ends its last line itself.
        if (form == OutputForm::text && text.ends_with('\n')) text.pop_back();
        out.line(text);
        return true;
    } catch (const std::bad_alloc&) {
        out.error(cannotReadSong(songNumber, help::kOutOfMemory));
        return false;
    }
}

}  // namespace kdb2mid
