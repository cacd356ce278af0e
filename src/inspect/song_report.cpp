#include "inspect/song_report.hpp"

#include <cmath>
#include <new>
#include <vector>

#include "format/display_text.hpp"
#include "messages/command_help.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

void addField(std::string& text, const std::string& label, const std::string& value) {
    constexpr std::size_t kLabelWidth = 20;
    std::string line = label + ":";
    line.append(line.size() < kLabelWidth ? kLabelWidth - line.size() : 1, ' ');
    text += line + value + "\n";
}

std::string seconds(double value) {
    const auto tenths = static_cast<long long>(std::llround(value * 10));
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10);
}

void describeChorus(const SongFacts& facts, std::string& text) {
    if (!facts.chorusCount) {
        addField(text, "Chorus recordings", "none");
        return;
    }
    std::string summary = std::to_string(*facts.chorusCount) + ", from CRS&TCK.IDX entry " +
                          std::to_string(facts.chorusFirstEntry);
    if (!facts.chorusIndexOpen) {
        summary += std::string(" (") + kChorusIndexMissing + ")";
    } else if (!facts.chorusDataOpen) {
        summary += std::string(" (") + kChorusDataMissing + ")";
    }
    addField(text, "Chorus recordings", summary);
    if (!facts.chorusIndexOpen) return;

    for (const ChorusPartFacts& part : facts.chorusParts) {
        std::string line = "  part " + std::to_string(static_cast<std::int32_t>(part.part)) + ": ";
        if (part.problem == ChorusPartProblem::endBeforeStart) {
            line += kChorusEndBeforeStart;
        } else {
            line += std::to_string(part.bytes) + " bytes, " + part.file;
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
    std::string text;
    addField(text, "Song", std::to_string(facts.song));
    addField(text, "Record",
             std::to_string(facts.recordBytes) + " bytes, " + std::to_string(facts.imageBytes) +
                 " decoded");
    if (facts.titles.empty()) addField(text, "Title", "(none)");
    for (const std::vector<std::uint8_t>& title : facts.titles) {
        addField(text, "Title", displayText(title));
    }
    addField(text, "Data tracks", std::to_string(facts.tracks));
    addField(text, "Length",
             std::to_string(facts.ticks) + " ticks, " + seconds(facts.seconds) + " seconds (" +
                 formatDuration(facts.seconds) + ")");
    addField(text, "Lyric lines", std::to_string(facts.lyricLineCount));
    addField(text, "Lyric events", std::to_string(facts.lyricEvents));
    addField(text, "Two-byte letters",
             facts.twoByteLetters ? kTwoByteLettersYes : "no");
    addField(text, "Melody", describeMelody(facts.melody));
    describeChorus(facts, text);

    if (!facts.lyricLines.empty()) text += "Lyrics:\n";
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
