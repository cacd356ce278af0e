// Proves that a hostile record, decoded once, goes through every writer of a
// song's files in memory (.mid, .kar, LRC, ASS, UltraStar and, where the
// build draws CD+G, the .cdg packets), after the key and tempo change the
// input asks for, without leaving its buffers or running long, and that what
// each writer gives is well formed: MIDI files of the converter's shape,
// lyric texts that are UTF-8 with one tag or event per line, an UltraStar
// text whose notes come in order without overlapping and whose pitches are
// melody keys less 60, and exactly one valid CD+G packet per 1/300 second of
// music.
//
// Input: one byte of options, then the record.
//   bit 0     lyric text as UTF-8 (else as stored)
//   bits 1-3  transpose: 0, +1, -1, +5, -7, +12, -12, +11 semitones
//   bits 4-6  tempo: 100, 25, 50, 99, 101, 150, 200, 400 percent
#include <algorithm>
#include <charconv>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/output_ultrastar.hpp"
#include "convert/outputs.hpp"
#include "export/ass_file.hpp"
#include "export/lrc_file.hpp"
#include "fuzz_targets.hpp"
#include "midi/kar_track.hpp"
#include "midi/midi_file.hpp"
#include "midi_shape.hpp"
#ifdef KDB2MID_HAVE_CDG
#include "cdg/cdg_lyrics.hpp"
#include "cdg/cdg_packet.hpp"
#include "cdg/freetype_raster.hpp"
#endif

namespace kdb2mid::fuzz {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kTransposes[] = {0, 1, -1, 5, -7, 12, -12, 11};
constexpr int kTempos[] = {100, 25, 50, 99, 101, 150, 200, 400};
// The lowest and highest pitch a MIDI key gives: keys 0 and 127 less 60.
constexpr long kLowestPitch = -60;
constexpr long kHighestPitch = 67;

std::span<const std::uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        require(end != std::string_view::npos, "text does not end with a line feed");
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

// A text file of the lyric writers: UTF-8, no control character but the
// line feed (ASS lines carry no carriage return either).
void requireCleanText(std::string_view text, const char* what) {
    require(isValidUtf8(bytesOf(text)), what);
    require(std::none_of(text.begin(), text.end(),
                         [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\n'; }),
            what);
}

// The whole-number fields of an UltraStar note line ": START LENGTH PITCH TEXT".
struct NoteFields {
    long start = 0;
    long length = 0;
    long pitch = 0;
};

NoteFields noteFields(std::string_view line) {
    NoteFields fields;
    std::string_view rest = line.substr(2);
    for (long* field : {&fields.start, &fields.length, &fields.pitch}) {
        const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), *field);
        require(error == std::errc(), "UltraStar note field is not a number");
        rest.remove_prefix(static_cast<std::size_t>(end - rest.data()));
        require(!rest.empty() && rest.front() == ' ', "UltraStar note field not followed by a space");
        rest.remove_prefix(1);
    }
    return fields;
}

void checkUltraStar(std::string_view text) {
    requireCleanText(text, "UltraStar text is not clean UTF-8");
    const std::vector<std::string_view> lines = linesOf(text);
    require(!lines.empty() && lines.back() == "E", "UltraStar text does not end with E");
    long noteEnd = 0;    // the beat after the last note
    long firstFree = 0;  // the first beat the next note may start on
    bool headers = true;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const std::string_view line = lines[i];
        require(!line.empty(), "empty UltraStar line");
        if (line.front() == '#') {
            require(headers, "UltraStar header after the notes");
            continue;
        }
        headers = false;
        if (line.front() == '-') {
            long beat = 0;
            const auto [end, error] = std::from_chars(line.data() + 2, line.data() + line.size(), beat);
            require(line.size() > 2 && line[1] == ' ' && error == std::errc() &&
                        end == line.data() + line.size(),
                    "UltraStar break is not \"- BEAT\"");
            require(beat == noteEnd && firstFree <= noteEnd,
                    "UltraStar break not on the beat after its phrase's last note");
            firstFree = beat + 1;
            continue;
        }
        require((line.front() == ':' || line.front() == 'F') && line.size() > 2 && line[1] == ' ',
                "UltraStar line is neither header, note, break nor end");
        const NoteFields note = noteFields(line);
        require(note.start >= firstFree, "UltraStar notes overlap or go back in time");
        require(note.length >= 1, "UltraStar note shorter than a beat");
        require(note.pitch >= kLowestPitch && note.pitch <= kHighestPitch,
                "UltraStar pitch is no MIDI key less 60");
        noteEnd = firstFree = note.start + note.length;
    }
}

void checkLrc(std::string_view text) {
    requireCleanText(text, "LRC text is not clean UTF-8");
    for (const std::string_view line : linesOf(text)) {
        require(!line.empty() && line.front() == '[', "LRC line does not start with a tag");
    }
}

void checkAss(std::string_view text) {
    requireCleanText(text, "ASS text is not clean UTF-8");
    require(text.starts_with("[Script Info]\n"), "ASS text does not start with [Script Info]");
    for (const std::string_view line : linesOf(text)) {
        if (!line.starts_with("Dialogue: ")) continue;
        require(std::count(line.begin(), line.end(), ',') >= 9, "ASS Dialogue has too few fields");
    }
}

#ifdef KDB2MID_HAVE_CDG
// Fuzzed lyrics reach the writer as they are: lines far too wide for the
// screen, thousands of words, words sharing one time. The music is cut to
// kCdgSeconds here so that an input stays fast (the tempo bits squeeze up to
// four times as many words into it); the writer's own bound is hours.
constexpr double kCdgSeconds = 5.0;

void checkCdg(SongContext& context) {
    static const std::unique_ptr<cdg::FreeTypeRasteriser> font = [] {
        std::string ignored;
        return cdg::FreeTypeRasteriser::open(cdg::kDefaultFontPath, ignored);
    }();
    if (!font) return;
    const double seconds = std::min(context.timing().lengthSeconds(), kCdgSeconds);
    const Bytes file =
        cdg::writeCdg(cdg::cdgInput(context.lyrics(), context.timing().tempo, seconds), *font);
    require(file.size() == cdg::cdgPacketCount(seconds) * cdg::kPacketSize,
            ".cdg file is not one packet per 1/300 s of music");
    for (std::size_t at = 0; at < file.size(); at += cdg::kPacketSize) {
        require(file[at] == 0 || file[at] == cdg::kGraphicsCommand, ".cdg packet with another command");
        for (std::size_t i = 0; i < cdg::kPacketSize; ++i) {
            require(file[at + i] <= cdg::kLowSixBits, ".cdg byte uses more than six bits");
        }
    }
}
#endif

}  // namespace

void fuzzSongFiles(Input input) {
    if (input.empty()) return;
    const std::uint8_t settings = input[0];
    const Input record = input.subspan(1);
    ConvertOptions options;
    options.lyrics = (settings & 1) != 0 ? LyricText::utf8 : LyricText::stored;
    options.transpose = kTransposes[(settings >> 1) & 7];
    options.tempoPercent = kTempos[(settings >> 4) & 7];
    for (const Output output : {Output::karaoke, Output::lrc, Output::ass, Output::ultrastar}) {
        options.outputs.add(output);
    }

    // Decoded once, into a workspace reused from input to input as a batch reuses it.
    static ConvertWorkspace work;
    DecodedSong& song = work.song;
    if (decodeSong(record, song) != RecordError::none) return;
    if (options.changesNotes()) adjustTracks(song, options.transpose, options.tempoPercent);

    Bytes midi;
    VectorSink midiSink(midi);
    require(writeMidiFile(song, options.lyrics, midiSink, work.trackBuffer) == RecordError::none,
            "a decoded song's .mid failed");
    const bool utf8 = options.lyrics == LyricText::utf8;
    requireMidiShape(midi, TextTrack::lyrics, utf8);
    Bytes karaoke;
    VectorSink karaokeSink(karaoke);
    require(writeKaraokeFile(song, options.lyrics, karaokeSink, work.trackBuffer) ==
                RecordError::none,
            "a decoded song's .kar failed");
    requireMidiShape(karaoke, TextTrack::karaoke, utf8);

    // Planned, not written: the context's writers would make files.
    SongResult result;
    const std::filesystem::path folder;  // the context keeps a reference to it
    SongContext context(1, "song", folder, options, work, result, RecordError::none);
    planOutputs(context);
    const bool hasLyrics = !context.lyrics().lines.empty();
    for (const PlannedOutput& output : context.planned()) {
        if (!output.row->needs.lyrics) continue;
        require(output.files.empty() != hasLyrics,
                "lyric files planned for a song without lyric lines, or none for one with");
    }
    if (!hasLyrics) return;
    const TempoMap& tempo = context.timing().tempo;
    checkLrc(writeLrc({context.lyrics(), tempo, context.timing().lengthSeconds(), "fuzz"}));
    checkAss(writeAss({context.lyrics(), tempo, "fuzz"}));
    const MelodyChoice melody = context.melody();
    require(melody.track < static_cast<int>(context.notes().size()),
            "melody names a track the song lacks");
    checkUltraStar(ultrastarText(context, "song.ogg"));
#ifdef KDB2MID_HAVE_CDG
    checkCdg(context);
#endif
}

}  // namespace kdb2mid::fuzz
