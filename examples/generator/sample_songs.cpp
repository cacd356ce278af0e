#include "generator/sample_songs.hpp"

#include <initializer_list>
#include <stdexcept>
#include <utility>

#include "generator/lead_sheet.hpp"

namespace kdb2mid::sample {

namespace {

// Keys (MIDI note numbers) the melodies use; 0 is a rest.
constexpr std::uint8_t R = 0;
constexpr std::uint8_t G3 = 55, A3 = 57;
constexpr std::uint8_t C4 = 60, D4 = 62, E4 = 64, F4 = 65, Fs4 = 66, G4 = 67, A4 = 69;
constexpr std::uint8_t C5 = 72, D5 = 74;

// Durations in ticks, 120 a quarter note.
constexpr std::uint16_t kEighth = 60, kQuarter = 120, kDottedQuarter = 180, kHalf = 240,
                        kWhole = 480;

// Chord roots as pitch classes.
constexpr std::uint8_t kC = 0, kD = 2, kE = 4, kF = 5, kG = 7, kA = 9;

// General MIDI programs, numbered from 0.
constexpr std::uint8_t kPiano = 0, kMusicBox = 10, kAcousticBass = 32, kFingeredBass = 33,
                       kStrings = 48, kOboe = 68, kClarinet = 71, kFlute = 73, kKoto = 107;

ChordSpan major(std::uint8_t root, std::uint16_t ticks) { return {root, ChordKind::major, ticks}; }
ChordSpan minor(std::uint8_t root, std::uint16_t ticks) { return {root, ChordKind::minor, ticks}; }

// Two chords a bar, given as pairs of roots, all major.
std::vector<ChordSpan> halfBars(std::initializer_list<std::pair<std::uint8_t, std::uint8_t>> bars) {
    std::vector<ChordSpan> chords;
    for (const auto& [first, second] : bars) {
        chords.push_back(major(first, kHalf));
        chords.push_back(major(second, kHalf));
    }
    return chords;
}

// Traditional melody, words by Jane Taylor (1806). C major.
LeadSheet twinkle() {
    LeadSheet sheet;
    sheet.title = "Twinkle, Twinkle, Little Star";
    sheet.subtitle = "Traditional, words by Jane Taylor";
    sheet.beatsPerMinute = 100;
    sheet.introTicks = kWhole;
    sheet.melodyProgram = kMusicBox;
    const std::vector<SheetNote> star = {
        {C4, kQuarter, "Twin"}, {C4, kQuarter, "kle, "}, {G4, kQuarter, "twin"},
        {G4, kQuarter, "kle, "}, {A4, kQuarter, "lit"}, {A4, kQuarter, "tle "},
        {G4, kHalf, "star,"}};
    const std::vector<SheetNote> wonder = {
        {F4, kQuarter, "How "}, {F4, kQuarter, "I "}, {E4, kQuarter, "won"},
        {E4, kQuarter, "der "}, {D4, kQuarter, "what "}, {D4, kQuarter, "you "},
        {C4, kHalf, "are!"}};
    sheet.lines = {
        {false, star},
        {false, wonder},
        {true,
         {{G4, kQuarter, "Up "}, {G4, kQuarter, "a"}, {F4, kQuarter, "bove "},
          {F4, kQuarter, "the "}, {E4, kQuarter, "world "}, {E4, kQuarter, "so "},
          {D4, kHalf, "high,"}}},
        {false,
         {{G4, kQuarter, "Like "}, {G4, kQuarter, "a "}, {F4, kQuarter, "dia"},
          {F4, kQuarter, "mond "}, {E4, kQuarter, "in "}, {E4, kQuarter, "the "},
          {D4, kHalf, "sky."}}},
        {true, star},
        {false, wonder},
    };
    sheet.chords = halfBars({{kC, kC},  // intro
                             {kC, kC}, {kF, kC}, {kF, kC}, {kG, kC},
                             {kC, kF}, {kC, kG}, {kC, kF}, {kC, kG},
                             {kC, kC}, {kF, kC}, {kF, kC}, {kG, kC}});
    sheet.bassProgram = kAcousticBass;
    sheet.chordProgram = kStrings;
    return sheet;
}

// Beethoven's melody from the Ninth Symphony, sung to Henry van Dyke's hymn
// "Joyful, Joyful, We Adore Thee" (1907). D major.
LeadSheet odeToJoy() {
    LeadSheet sheet;
    sheet.title = "Ode to Joy";
    sheet.subtitle = "Ludwig van Beethoven, words by Henry van Dyke";
    sheet.beatsPerMinute = 112;
    sheet.keySharps = 2;
    sheet.introTicks = kWhole;
    sheet.melodyProgram = kOboe;
    sheet.lines = {
        {false,
         {{Fs4, kQuarter, "Joy"}, {Fs4, kQuarter, "ful, "}, {G4, kQuarter, "joy"},
          {A4, kQuarter, "ful, "}, {A4, kQuarter, "we "}, {G4, kQuarter, "a"},
          {Fs4, kQuarter, "dore "}, {E4, kQuarter, "Thee,"}}},
        {false,
         {{D4, kQuarter, "God "}, {D4, kQuarter, "of "}, {E4, kQuarter, "glo"},
          {Fs4, kQuarter, "ry, "}, {Fs4, kDottedQuarter, "Lord "}, {E4, kEighth, "of "},
          {E4, kHalf, "love;"}}},
        {true,
         {{Fs4, kQuarter, "Hearts "}, {Fs4, kQuarter, "un"}, {G4, kQuarter, "fold "},
          {A4, kQuarter, "like "}, {A4, kQuarter, "flow'rs "}, {G4, kQuarter, "be"},
          {Fs4, kQuarter, "fore "}, {E4, kQuarter, "Thee,"}}},
        {false,
         {{D4, kQuarter, "Op"}, {D4, kQuarter, "'ning "}, {E4, kQuarter, "to "},
          {Fs4, kQuarter, "the "}, {E4, kDottedQuarter, "sun "}, {D4, kEighth, "a"},
          {D4, kHalf, "bove."}}},
        {true,
         {{E4, kQuarter, "Melt "}, {E4, kQuarter, "the "}, {Fs4, kQuarter, "clouds "},
          {D4, kQuarter, "of "}, {E4, kQuarter, "sin "}, {Fs4, kEighth, "and "},
          {G4, kEighth, ""}, {Fs4, kQuarter, "sad"}, {D4, kQuarter, "ness;"}}},
        {false,
         {{E4, kQuarter, "Drive "}, {Fs4, kEighth, "the "}, {G4, kEighth, ""},
          {Fs4, kQuarter, "dark "}, {E4, kQuarter, "of "}, {D4, kQuarter, "doubt "},
          {E4, kQuarter, "a"}, {A3, kHalf, "way;"}}},
        {true,
         {{Fs4, kQuarter, "Giv"}, {Fs4, kQuarter, "er "}, {G4, kQuarter, "of "},
          {A4, kQuarter, "im"}, {A4, kQuarter, "mor"}, {G4, kQuarter, "tal "},
          {Fs4, kQuarter, "glad"}, {E4, kQuarter, "ness,"}}},
        {false,
         {{D4, kQuarter, "Fill "}, {D4, kQuarter, "us "}, {E4, kQuarter, "with "},
          {Fs4, kQuarter, "the "}, {E4, kDottedQuarter, "light "}, {D4, kEighth, "of "},
          {D4, kHalf, "day!"}}},
    };
    sheet.chords = halfBars({{kD, kD},  // intro
                             {kD, kD}, {kD, kA}, {kD, kD}, {kD, kA},
                             {kD, kD}, {kD, kA}, {kD, kD}, {kA, kD},
                             {kA, kD}, {kA, kD}, {kA, kD}, {kD, kA},
                             {kD, kD}, {kD, kA}, {kD, kD}, {kA, kD}});
    sheet.bassProgram = kAcousticBass;
    sheet.chordProgram = kPiano;
    return sheet;
}

// French traditional round, sung through twice. C major.
LeadSheet frereJacques() {
    LeadSheet sheet;
    sheet.title = "Frère Jacques";
    sheet.subtitle = "Traditional (France)";
    sheet.beatsPerMinute = 120;
    sheet.introTicks = kWhole;
    sheet.melodyProgram = kClarinet;
    const std::vector<SheetNote> jacques = {
        {C4, kQuarter, "Fre"}, {D4, kQuarter, "re "}, {E4, kQuarter, "Jac"},
        {C4, kQuarter, "ques, "}, {C4, kQuarter, "fre"}, {D4, kQuarter, "re "},
        {E4, kQuarter, "Jac"}, {C4, kQuarter, "ques,"}};
    const std::vector<SheetNote> dormez = {
        {E4, kQuarter, "dor"}, {F4, kQuarter, "mez-"}, {G4, kHalf, "vous? "},
        {E4, kQuarter, "dor"}, {F4, kQuarter, "mez-"}, {G4, kHalf, "vous?"}};
    const std::vector<SheetNote> sonnez = {
        {G4, kEighth, "Son"}, {A4, kEighth, "nez "}, {G4, kEighth, "les "},
        {F4, kEighth, "ma"}, {E4, kQuarter, "ti"}, {C4, kQuarter, "nes, "},
        {G4, kEighth, "son"}, {A4, kEighth, "nez "}, {G4, kEighth, "les "},
        {F4, kEighth, "ma"}, {E4, kQuarter, "ti"}, {C4, kQuarter, "nes,"}};
    const std::vector<SheetNote> ding = {
        {C4, kQuarter, "ding, "}, {G3, kQuarter, "dang, "}, {C4, kHalf, "dong. "},
        {C4, kQuarter, "ding, "}, {G3, kQuarter, "dang, "}, {C4, kHalf, "dong."}};
    sheet.lines = {{false, jacques}, {false, dormez}, {true, sonnez}, {false, ding},
                   {true, jacques},  {false, dormez}, {true, sonnez}, {false, ding}};
    sheet.chords.assign(17, major(kC, kWhole));
    sheet.bassProgram = kFingeredBass;
    sheet.chordProgram = kPiano;
    sheet.drums = DrumStyle::backbeat;
    return sheet;
}

// Northern Vietnamese folk song, 2/4, on the pentatonic scale G A C D E.
LeadSheet trongCom() {
    LeadSheet sheet;
    sheet.title = "Trống Cơm";
    sheet.subtitle = "Dân ca Bắc Bộ";
    sheet.beatsPerMinute = 100;
    sheet.beatsPerBar = 2;
    sheet.keySharps = 1;
    sheet.introTicks = 2 * kHalf;
    sheet.melodyProgram = kKoto;
    sheet.lines = {
        {false,
         {{D4, kEighth, "Tình "}, {D4, kEighth, "bằng "}, {G4, kEighth, "có "},
          {A4, kEighth, "cái "}, {C5, kQuarter, "trống "}, {A4, kEighth, "cơm,"},
          {G4, kEighth, ""}, {A4, kQuarter, ""}, {R, kQuarter, ""}}},
        {false,
         {{G4, kEighth, "khen "}, {A4, kEighth, "ai "}, {C5, kEighth, "khéo "},
          {D5, kEighth, "vỗ,"}, {C5, kQuarter, ""}, {R, kQuarter, ""}}},
        {false,
         {{D5, kEighth, "Ố "}, {C5, kEighth, "mấy "}, {A4, kQuarter, "bông "},
          {G4, kEighth, "mà "}, {A4, kEighth, "nên "}, {C5, kQuarter, "bông,"},
          {A4, kQuarter, ""}, {R, kQuarter, ""}}},
        {false,
         {{D5, kEighth, "ố "}, {C5, kEighth, "mấy "}, {A4, kQuarter, "bông "},
          {G4, kEighth, "mà "}, {A4, kEighth, "nên "}, {G4, kQuarter, "bông."},
          {R, kHalf, ""}}},
        {true,
         {{E4, kEighth, "Một "}, {D4, kEighth, "bầy "}, {G4, kEighth, "tang "},
          {E4, kEighth, "tình "}, {G4, kEighth, "con "}, {A4, kEighth, ""},
          {D4, kQuarter, "nhện,"}, {R, kHalf, ""}}},
        {false,
         {{D5, kEighth, "Ố "}, {C5, kEighth, "mấy "}, {A4, kEighth, "giăng "},
          {C5, kEighth, "tơ,"}, {A4, kQuarter, ""}, {R, kQuarter, ""}}},
        {false,
         {{D5, kEighth, "ố "}, {C5, kEighth, "mấy "}, {A4, kEighth, "đi "},
          {A4, kEighth, ""}, {G4, kHalf, "tìm."}}},
    };
    sheet.chords = {major(kG, kHalf), major(kG, kHalf),                     // intro
                    major(kG, kHalf), minor(kA, kHalf), major(kD, kHalf),   // Tình bằng
                    major(kG, kHalf), major(kC, kHalf),                     // khen ai
                    major(kD, kHalf), major(kG, kHalf), major(kD, kHalf),   // Ố mấy bông
                    major(kD, kHalf), major(kG, kHalf), major(kG, kHalf),   // ố mấy bông
                    minor(kE, kHalf), major(kD, kHalf), major(kG, kHalf),   // Một bầy
                    major(kD, kHalf), minor(kA, kHalf),                     // Ố mấy giăng tơ
                    major(kD, kHalf), major(kG, kHalf)};                    // ố mấy đi tìm
    sheet.bassProgram = kFingeredBass;
    sheet.drums = DrumStyle::handDrum;
    return sheet;
}

// Northern Vietnamese folk song, slow, on the pentatonic scale A C D E G.
LeadSheet beoDatMayTroi() {
    LeadSheet sheet;
    sheet.title = "Bèo Dạt Mây Trôi";
    sheet.subtitle = "Dân ca Bắc Bộ";
    sheet.beatsPerMinute = 66;
    sheet.minorKey = true;
    sheet.introTicks = kWhole;
    sheet.melodyProgram = kFlute;
    const std::vector<SheetNote> drift = {
        {E4, kQuarter, "Bèo "}, {D4, kEighth, "dạt "}, {E4, kEighth, ""},
        {G4, kQuarter, "mây "}, {A4, kQuarter, "trôi,"}};
    sheet.lines = {
        {false, drift},
        {false,
         {{C5, kQuarter, "chốn "}, {A4, kEighth, "xa "}, {G4, kEighth, ""}, {A4, kHalf, "xôi,"}}},
        {true,
         {{E4, kQuarter, "Bèo "}, {D4, kEighth, "dạt "}, {E4, kEighth, ""},
          {G4, kQuarter, "mây "}, {A4, kQuarter, "trôi, "}, {C5, kQuarter, "anh "},
          {A4, kQuarter, "ơi,"}, {G4, kEighth, ""}, {E4, kEighth, ""}, {R, kQuarter, ""}}},
        {false,
         {{A4, kEighth, "em "}, {C5, kEighth, "vẫn "}, {G4, kQuarter, "đợi, "},
          {A4, kEighth, "em "}, {C5, kEighth, "vẫn "}, {G4, kEighth, "đợi."},
          {E4, kEighth, ""}, {E4, kHalf, ""}, {R, kHalf, ""}}},
        {true,
         {{G4, kQuarter, "Một "}, {A4, kEighth, "tin "}, {C5, kEighth, ""},
          {A4, kQuarter, "anh "}, {G4, kQuarter, "ơi,"}}},
        {false,
         {{A4, kEighth, "em "}, {C5, kEighth, "vẫn "}, {D5, kQuarter, "trông, "},
          {A4, kEighth, "em "}, {C5, kEighth, "vẫn "}, {D5, kEighth, "trông."},
          {C5, kEighth, ""}, {A4, kWhole, ""}}},
    };
    sheet.chords = {minor(kA, kHalf), minor(kA, kHalf),   // intro
                    minor(kA, kHalf), major(kC, kHalf),   // Bèo dạt mây trôi
                    minor(kA, kHalf), minor(kA, kHalf),   // chốn xa xôi
                    minor(kA, kHalf), major(kC, kHalf),   // Bèo dạt mây trôi
                    minor(kA, kHalf), minor(kE, kHalf),   // anh ơi
                    major(kC, kHalf), minor(kE, kHalf),   // em vẫn đợi
                    minor(kE, kHalf), minor(kE, kHalf),
                    major(kC, kHalf), major(kG, kHalf),   // Một tin anh ơi
                    minor(kD, kHalf), minor(kA, kHalf),   // em vẫn trông
                    minor(kA, kHalf), minor(kA, kHalf)};
    sheet.chordProgram = kStrings;
    return sheet;
}

// Trống Cơm's two chorus recordings, parts 1 and 2.
constexpr std::int32_t kTrongComSong = 50004;
constexpr std::uint32_t kChorusPartOne = 1;
constexpr std::uint32_t kChorusPartTwo = 2;
constexpr std::size_t kChorusPartOneFrames = 12;  // 5004 bytes, 3 units
constexpr std::size_t kChorusPartTwoFrames = 7;   // 2919 bytes, 2 units

}  // namespace

std::vector<SampleSong> sampleSongs() {
    std::vector<SampleSong> songs;
    std::int32_t number = kFirstSampleSong;
    for (const LeadSheet& sheet :
         {twinkle(), odeToJoy(), frereJacques(), trongCom(), beoDatMayTroi()}) {
        songs.push_back({number++, renderLeadSheet(sheet)});
    }
    return songs;
}

Database buildSampleDatabase() {
    Database database;
    // Entry 0 and the first unit of CHORUS.DAT belong to no song, so the
    // recordings start at entry 1 and unit 1.
    database.chorusIndex.push_back({0, 0, 0});
    database.chorusData.assign(kChorusDataUnit, 0);
    const std::uint16_t firstEntry =
        addChorusRecording(database, kChorusPartOne, silentMp3Frames(kChorusPartOneFrames));
    if (addChorusRecording(database, kChorusPartTwo, silentMp3Frames(kChorusPartTwoFrames)) !=
        firstEntry + 1) {
        throw std::logic_error("chorus entries of one song must be consecutive");
    }

    std::vector<SampleSong> songs = sampleSongs();
    SongSpec& trong = songs[static_cast<std::size_t>(kTrongComSong - kFirstSampleSong)].spec;
    trong.flags = kChorusFlag;
    trong.chorusCount = 2;
    trong.chorusIndex = firstEntry;

    database.records.resize(static_cast<std::size_t>(songs.back().number - kFirstSongNumber + 1));
    for (const SampleSong& song : songs) {
        database.records[static_cast<std::size_t>(song.number - kFirstSongNumber)] =
            buildRecord(song.spec);
    }
    return database;
}

}  // namespace kdb2mid::sample
