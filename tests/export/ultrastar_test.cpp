#include "export/ultrastar.hpp"

#include <gtest/gtest.h>

#include <cmath>

#include "export/ultrastar_reader.hpp"
#include "inspect/melody.hpp"
#include "generator/midi_track_builder.hpp"

namespace kdb2mid {
namespace {

using sample::MidiTrackBuilder;
using test::UltraStarNoteLine;
using test::UltraStarSong;

// 120 ticks a quarter at 120 quarters a minute, then 150 from tick 960 on.
double secondsAt(std::uint64_t tick) {
    if (tick < 960) return static_cast<double>(tick) / 240.0;
    return 4.0 + static_cast<double>(tick - 960) / 300.0;
}

UltraStarWord word(std::string text, std::uint64_t tick) {
    return {std::move(text), tick, secondsAt(tick)};
}

UltraStarSong readBack(const std::string& text) {
    const test::UltraStarRead read = test::readUltraStar(text);
    EXPECT_TRUE(read.song) << read.error << "\n" << text;
    if (!read.song) return {};
    EXPECT_EQ(test::timingFaults(*read.song), "") << text;
    return *read.song;
}

// A song as a lead sheet would give it: the melody on track 1 (one note per
// word), a chord track on the bars and a drum track on every beat beside it.
struct GeneratedSong {
    std::vector<std::vector<Note>> tracks;
    UltraStarInput input;
    std::vector<std::uint64_t> wordTicks;
};

struct SungNote {
    const char* text;
    std::uint32_t tick;
    std::uint32_t ticks;
    std::uint8_t key;
};

GeneratedSong generatedSong() {
    const std::vector<std::vector<SungNote>> lines = {
        {{"Một", 240, 100, 64}, {"hai", 360, 100, 67}, {"ba", 480, 100, 72}},
        // Spaces around stored words don't matter; the writer places them.
        {{" bốn", 720, 200, 76}, {"năm ", 840, 100, 55}, {"sáu", 960, 100, 45},
         {"bảy", 1080, 100, 60}},
    };
    MidiTrackBuilder conductor;
    conductor.trackName("Song");
    conductor.tempo(0, 500000);
    conductor.tempo(960, 400000);
    MidiTrackBuilder melody;
    MidiTrackBuilder chords;
    MidiTrackBuilder drums;
    GeneratedSong song;
    song.input.title = "Một Hai Ba";
    song.input.artist = "Dân ca";
    song.input.vietnamese = true;
    song.input.audioFile = "1001.ogg";
    for (const auto& line : lines) {
        auto& phrase = song.input.phrases.emplace_back();
        for (const SungNote& sung : line) {
            melody.note(sung.tick, sung.ticks, 0, sung.key, 100);
            phrase.push_back(word(sung.text, sung.tick));
            song.wordTicks.push_back(sung.tick);
        }
    }
    for (std::uint32_t bar = 0; bar < 1440; bar += 480) {
        for (const std::uint8_t key : std::initializer_list<std::uint8_t>{48, 52, 55}) {
            chords.note(bar, 480, 1, key, 70);
        }
    }
    for (std::uint32_t beat = 0; beat < 1440; beat += 120) {
        const auto key = static_cast<std::uint8_t>(beat % 240 ? 38 : 36);  // kick on 1 and 3
        drums.note(beat, 30, sample::kDrumChannel, key, 110);
    }
    for (const MidiTrackBuilder* track : {&conductor, &melody, &chords, &drums}) {
        song.tracks.push_back(trackNotes(track->finish(1440)));
    }
    return song;
}

TEST(UltraStar, GeneratedSongHasEveryPitchAndStartExact) {
    GeneratedSong song = generatedSong();
    const MelodyChoice melody = findMelody(song.tracks, song.wordTicks);
    ASSERT_EQ(melody.track, 1);
    EXPECT_DOUBLE_EQ(melody.coverage, 1.0);
    song.input.melody = timeNotes(song.tracks[1], secondsAt);

    const UltraStarSong read = readBack(writeUltraStar(song.input));
    const std::vector<std::pair<std::string, std::string>> headers = {
        {"VERSION", "1.0.0"}, {"TITLE", "Một Hai Ba"}, {"ARTIST", "Dân ca"},
        {"LANGUAGE", "Vietnamese"}, {"AUDIO", "1001.ogg"}, {"MP3", "1001.ogg"},
        {"BPM", "1500"}, {"GAP", "1000"}};
    EXPECT_EQ(read.headers, headers);
    // Beats of 10 ms from 1000 ms on; a note ends with its melody note or
    // where the next word starts ("bốn" runs into "năm").
    const std::vector<std::vector<UltraStarNoteLine>> phrases = {
        {{':', 0, 41, 4, "Một"}, {':', 50, 41, 7, " hai"}, {':', 100, 41, 12, " ba"}},
        {{':', 200, 50, 16, "bốn"}, {':', 250, 41, -5, " năm"}, {':', 300, 33, -15, " sáu"},
         {':', 340, 33, 0, " bảy"}},
    };
    ASSERT_EQ(read.phrases.size(), phrases.size());
    for (std::size_t p = 0; p < phrases.size(); ++p) {
        ASSERT_EQ(read.phrases[p].size(), phrases[p].size()) << p;
        for (std::size_t n = 0; n < phrases[p].size(); ++n) {
            const UltraStarNoteLine& got = read.phrases[p][n];
            const UltraStarNoteLine& want = phrases[p][n];
            EXPECT_EQ(got.type, want.type) << want.text;
            EXPECT_EQ(got.start, want.start) << want.text;
            EXPECT_EQ(got.length, want.length) << want.text;
            EXPECT_EQ(got.pitch, want.pitch) << want.text;
            EXPECT_EQ(got.text, want.text);
        }
    }
    EXPECT_EQ(read.breaks, std::vector<std::int64_t>{141});
}

TEST(UltraStar, SongWithoutMelodyIsFreestyle) {
    GeneratedSong song = generatedSong();
    song.tracks.erase(song.tracks.begin() + 1);  // leaves chords and drums
    const MelodyChoice melody = findMelody(song.tracks, song.wordTicks);
    EXPECT_EQ(melody.track, -1);
    EXPECT_DOUBLE_EQ(melody.coverage, 2.0 / 7.0);  // the chords on bars 2 and 3

    const UltraStarSong read = readBack(writeUltraStar(song.input));
    const std::vector<UltraStarNoteLine> notes = read.notes();
    ASSERT_EQ(notes.size(), 7U);
    const std::int64_t starts[] = {0, 50, 100, 200, 250, 300, 340};
    // Until the next word, at most a second; the phrase's last note leaves a
    // beat for the break.
    const std::int64_t lengths[] = {50, 50, 99, 50, 50, 40, 100};
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(notes[i].type, 'F') << i;
        EXPECT_EQ(notes[i].pitch, 0) << i;
        EXPECT_EQ(notes[i].start, starts[i]) << i;
        EXPECT_EQ(notes[i].length, lengths[i]) << i;
    }
}

TEST(UltraStar, SplitSongNamesItsInstrumentalAndVocalsInVersion110) {
    GeneratedSong song = generatedSong();
    song.input.instrumentalFile = "1001.instrumental.ogg";
    song.input.vocalsFile = "1001.guide.ogg";
    const UltraStarSong read = readBack(writeUltraStar(song.input));
    const std::vector<std::pair<std::string, std::string>> headers = {
        {"VERSION", "1.1.0"}, {"TITLE", "Một Hai Ba"}, {"ARTIST", "Dân ca"},
        {"LANGUAGE", "Vietnamese"}, {"AUDIO", "1001.ogg"}, {"MP3", "1001.ogg"},
        {"INSTRUMENTAL", "1001.instrumental.ogg"}, {"VOCALS", "1001.guide.ogg"},
        {"BPM", "1500"}, {"GAP", "1000"}};
    EXPECT_EQ(read.headers, headers);
}

// One phrase, one word per melody note, 120 ticks apart.
UltraStarInput songOfKeys(std::initializer_list<std::uint8_t> keys) {
    UltraStarInput input;
    auto& phrase = input.phrases.emplace_back();
    std::vector<Note> notes;
    std::uint64_t tick = 0;
    for (std::uint8_t key : keys) {
        notes.push_back({tick, tick + 60, key, 0});
        phrase.push_back(word("la", tick));
        tick += 120;
    }
    input.melody = timeNotes(notes, secondsAt);
    return input;
}

TEST(UltraStar, PitchesKeepTheirOctave) {
    const UltraStarSong read =
        readBack(writeUltraStar(songOfKeys({0, 47, 48, 59, 60, 61, 72, 73, 84, 85, 127})));
    std::vector<int> pitches;
    for (const UltraStarNoteLine& note : read.notes()) pitches.push_back(note.pitch);
    EXPECT_EQ(pitches, (std::vector<int>{-60, -13, -12, -1, 0, 1, 12, 13, 24, 25, 67}));
}

TEST(UltraStar, FastWordsEachStartWithinABeat) {
    // 8 phrases of 25 words, 11 ms apart (a tick every 11 ms), phrases with no
    // pause between them: the tightest spacing the beat grid must keep.
    UltraStarInput input;
    std::vector<Note> notes;
    std::vector<double> times;
    std::uint64_t tick = 0;
    for (int p = 0; p < 8; ++p) {
        auto& phrase = input.phrases.emplace_back();
        for (int w = 0; w < 25; ++w, ++tick) {
            const double seconds = 0.5 + 0.011 * static_cast<double>(tick);
            phrase.push_back({"ta", tick, seconds});
            notes.push_back({tick, tick + 1, static_cast<std::uint8_t>(60 + w % 12), 0});
            times.push_back(seconds * 1000.0);
        }
    }
    for (Note& note : notes) {
        input.melody.push_back({note, 0.5 + 0.011 * static_cast<double>(note.startTick),
                                0.5 + 0.011 * static_cast<double>(note.endTick)});
    }
    const UltraStarSong read = readBack(writeUltraStar(input));
    const std::vector<UltraStarNoteLine> written = read.notes();
    ASSERT_EQ(written.size(), times.size());
    EXPECT_EQ(read.breaks.size(), 7U);
    const double gap = std::stod(*read.header("GAP"));
    for (std::size_t i = 0; i < written.size(); ++i) {
        const double at = gap + static_cast<double>(written[i].start) * kUltraStarBeatMs;
        EXPECT_LE(std::abs(at - times[i]), kUltraStarBeatMs) << i;
        EXPECT_EQ(written[i].pitch, static_cast<int>(i % 25 % 12)) << i;
    }
}

TEST(UltraStar, WordsAtOneTickFollowEachOtherInOrder) {
    UltraStarInput input;
    input.phrases = {{word("a", 240), word("b", 240), word("c", 240), word("d", 241)},
                     {word("e", 241), word("f", 480)}};
    input.melody = timeNotes(std::vector<Note>{{240, 480, 64, 0}}, secondsAt);
    const UltraStarSong read = readBack(writeUltraStar(input));
    std::vector<std::int64_t> starts;
    std::string text;
    for (const UltraStarNoteLine& note : read.notes()) {
        starts.push_back(note.start);
        text += note.text + "|";
        EXPECT_EQ(note.type, ':');
        EXPECT_EQ(note.pitch, 4);
    }
    EXPECT_EQ(starts, (std::vector<std::int64_t>{0, 1, 2, 3, 5, 100}));
    EXPECT_EQ(text, "a| b| c| d|e| f|");
    EXPECT_EQ(read.breaks, std::vector<std::int64_t>{4});
}

TEST(UltraStar, WordsOffTheMelodyTakeTheNearestNote) {
    UltraStarInput input;
    // A long note under the first two words with a lower one beside it (the
    // top note carries the tune); nothing near the last two words.
    input.phrases = {{word("one", 0), word("two", 120), word("three", 600), word("four", 900)}};
    input.melody = timeNotes(std::vector<Note>{{0, 240, 55, 0}, {0, 240, 62, 0}, {400, 440, 65, 0},
                                               {1200, 1300, 69, 0}},
                             secondsAt);
    const UltraStarSong read = readBack(writeUltraStar(input));
    const std::vector<UltraStarNoteLine> notes = read.notes();
    ASSERT_EQ(notes.size(), 4U);
    const int pitches[] = {2, 2, 5, 9};
    // "two" ends with its sounding note; "three" and "four" hold at most a second.
    const std::int64_t lengths[] = {50, 50, 100, 100};
    for (std::size_t i = 0; i < notes.size(); ++i) {
        EXPECT_EQ(notes[i].type, ':') << i;
        EXPECT_EQ(notes[i].pitch, pitches[i]) << i;
        EXPECT_EQ(notes[i].length, lengths[i]) << i;
    }
}

TEST(UltraStar, EmptyPhrasesAndUnsafeTextLeaveNoTrace) {
    UltraStarInput input;
    input.title = "Line\r\nbreak\tand \xFF byte";
    input.artist = "";
    input.audioFile = "7.ogg";
    input.phrases = {{}, {word("  ", 0)}, {word("x\ny", 240), word("", 300), word("z", 360)},
                     {}, {}, {word("w", 480)}, {}};
    const std::string text = writeUltraStar(input);
    const UltraStarSong read = readBack(text);
    EXPECT_EQ(read.header("TITLE"), "Line  break and \xEF\xBF\xBD byte");
    EXPECT_EQ(read.header("ARTIST"), "");
    EXPECT_FALSE(read.header("LANGUAGE"));
    ASSERT_EQ(read.phrases.size(), 2U);
    ASSERT_EQ(read.phrases[0].size(), 2U);
    EXPECT_EQ(read.phrases[0][0].text, "x y");
    EXPECT_EQ(read.phrases[0][1].text, " z");
    EXPECT_EQ(read.phrases[1][0].text, "w");

    input.phrases = {{}, {word(" ", 0)}};
    EXPECT_EQ(writeUltraStar(input),
              "#VERSION:1.0.0\n#TITLE:Line  break and \xEF\xBF\xBD byte\n#ARTIST:\n"
              "#AUDIO:7.ogg\n#MP3:7.ogg\n#BPM:1500\n#GAP:0\nE\n");
}

TEST(UltraStar, BrokenTimesStayInOrder) {
    UltraStarInput input;
    const double nan = std::nan("");
    input.phrases = {{{"a", 0, 2.0}, {"b", 1, -5.0}, {"c", 2, nan}, {"d", 3, 1e300}}};
    input.melody = {{{0, 1, 60, 0}, 2.0, nan}};
    const UltraStarSong read = readBack(writeUltraStar(input));
    EXPECT_EQ(read.header("GAP"), "0");
    EXPECT_EQ(read.notes().size(), 4U);
}

}  // namespace
}  // namespace kdb2mid
