#include "convert/file_names.hpp"

#include <gtest/gtest.h>

#include "cli/options_fixture.hpp"
#include "convert/convert_song.hpp"
#include "format/utf8_text.hpp"

namespace kdb2mid {
namespace {

std::string repeat(std::string_view text, std::size_t times, std::string out = {}) {
    for (std::size_t i = 0; i < times; ++i) out += text;
    return out;
}

TEST(FileNames, HostileTitlesGiveNamesEveryFileSystemTakes) {
    struct Case {
        const char* name;
        std::string title;
        std::string stem;
    };
    const Case cases[] = {
        {"plain Vietnamese", "Trống Cơm", "Trống Cơm"},
        {"every forbidden sign", "a/b\\c:d*e?f\"g<h>i|j", "a_b_c_d_e_f_g_h_i_j"},
        {"C0, DEL and C1 controls", "a\tb\nc\x1B[d\x7F" "e\xC2\x85" "f", "a_b_c_[d_e_f"},
        {"trailing dots and spaces", "Song. . .  ", "Song"},
        {"leading spaces", "   Song", "Song"},
        {"a leading dot stays", ".Song", ".Song"},
        {"device name", "CON", "_CON"},
        {"device name in lower case with an extension", "nul.txt", "_nul.txt"},
        {"numbered device name", "COM1", "_COM1"},
        {"device name before spaces", "lpt9 .x", "_lpt9 .x"},
        {"longer names are no devices", "CONSOLE", "CONSOLE"},
        {"nor are higher numbers", "COM10", "COM10"},
        {"stray continuation byte", "a\xFF" "b", "a_b"},
        {"truncated sequence", "ab\xE1\xBB", "ab__"},
        {"overlong slash", "a\xC0\xAF" "b", "a__b"},
        {"surrogate", "\xED\xA0\x80", "___"},
        {"empty title", "", "50004"},
        {"only dots and spaces", " . .", "50004"},
        {"only forbidden signs", "???", "___"},
        {"3-byte letters cut between characters", repeat("ố", 100), repeat("ố", 66)},
        {"cut one byte later", repeat("ố", 100, "a"), repeat("ố", 66, "a")},
        {"cut before spaces drops them", repeat("x", 199) + "  yy", repeat("x", 199)},
        {"invalid bytes count too", repeat("\xFF", 300), repeat("_", 200)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string stem = fileStem("{title}", {50004, c.title, ""});
        EXPECT_EQ(stem, c.stem);
        EXPECT_LE(stem.size(), kMaxFileStemBytes);
        EXPECT_TRUE(isPrintableUtf8(stem));
    }

    // Fields next to text: the song number stands in only for a name left empty.
    EXPECT_EQ(fileStem("{song} - {title}", {50004, "Trống Cơm", "Dân ca"}), "50004 - Trống Cơm");
    EXPECT_EQ(fileStem("{artist} - {title}", {50004, "Cơm", ""}), "- Cơm");
    EXPECT_EQ(fileStem("{song} - {title}", {7, "", ""}), "7 -");
    EXPECT_EQ(fileStem("{artist}/{title}", {7, "T", "A"}), "A_T");
    EXPECT_EQ(fileStem("{title}", {7, "{song}", ""}), "{song}");  // a title is not a pattern
}

TEST(FileNames, DistinctStemsNeverShareANameIgnoringCase) {
    struct Case {
        const char* name;
        std::vector<std::string> stems;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"unique stay", {"A", "B"}, {"A", "B"}},
        {"same name", {"A", "A", "A"}, {"A", "A (2)", "A (3)"}},
        {"ASCII case", {"Song", "SONG"}, {"Song", "SONG (2)"}},
        {"Vietnamese case", {"Ố", "ố", "Trống Cơm", "TRỐNG CƠM", "Đư", "đƯ"},
         {"Ố", "ố (2)", "Trống Cơm", "TRỐNG CƠM (2)", "Đư", "đƯ (2)"}},
        {"Latin-1 case", {"É", "é"}, {"É", "é (2)"}},
        {"a later song already called X (2)", {"X", "X", "X (2)"}, {"X", "X (3)", "X (2)"}},
        {"an earlier one", {"X (2)", "X", "X"}, {"X (2)", "X", "X (3)"}},
        {"and in another case", {"x (2)", "X", "X"}, {"x (2)", "X", "X (3)"}},
        {"the numbered name itself repeated", {"X", "X (2)", "X", "X (2)"},
         {"X", "X (2)", "X (3)", "X (2) (2)"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(distinctStems(c.stems), c.expected) << c.name;
    }

    // Over every file a song writes: its chorus parts and its audio.
    struct FilesCase {
        const char* name;
        std::vector<std::string> stems;
        std::vector<std::vector<std::string>> suffixes;
        std::vector<std::string> expected;
    };
    const std::vector<std::string> midiAndMp3 = {".mid", ".mp3"};
    const FilesCase fileCases[] = {
        {"a chorus part and another song's audio", {"X", "X_1"}, {{".mid", "_1.mp3"}, midiAndMp3},
         {"X", "X_1 (2)"}},
        {"the other way round", {"x_1", "X"}, {midiAndMp3, {".mid", "_1.mp3"}}, {"x_1", "X (2)"}},
        {"no file in common", {"X", "X_1"}, {{".mid", "_2.mp3"}, midiAndMp3}, {"X", "X_1"}},
        {"the numbered name is a later song's", {"X", "X_1", "X_1 (2)"},
         {{".mid", "_1.mp3"}, midiAndMp3, midiAndMp3}, {"X", "X_1 (3)", "X_1 (2)"}},
    };
    for (const FilesCase& c : fileCases) {
        EXPECT_EQ(distinctStems(c.stems, c.suffixes), c.expected) << c.name;
    }
}

#ifdef KDB2MID_HAVE_AUDIO
// --name over a database: "FIRST SONG" has chorus parts 7 and 8, and a
// song titled "FIRST SONG_7" clashes with the first only where it writes an
// .mp3 of its own.
TEST(FileNames, SongsAreNamedApartOverTheirChorusPartsAndAudio) {
    test::TempDir folder;
    sample::Database contents = test::titledDatabase();
    contents.records.push_back(test::songRecord("FIRST SONG_7", {{" a", false, {0, 5}}}));
    sample::writeDatabase(contents, folder.path());
    SongDatabase database;
    ASSERT_EQ(database.open(folder.path()), SongDatabase::OpenError::none);
    const std::int32_t clash = test::kDrumSong + 1;
    struct Case {
        const char* name;
        std::vector<std::int32_t> songs;
        std::optional<AudioFormat> audio;
        std::vector<std::string> stems;
    };
    const Case cases[] = {
        {"MIDI only", {test::kChorusSong, clash}, std::nullopt, {"FIRST SONG", "FIRST SONG_7"}},
        {"audio of another kind", {test::kChorusSong, clash}, AudioFormat::ogg,
         {"FIRST SONG", "FIRST SONG_7"}},
        {"MP3 audio", {test::kChorusSong, clash}, AudioFormat::mp3,
         {"FIRST SONG", "FIRST SONG_7 (2)"}},
        {"MP3 audio, the other order", {clash, test::kChorusSong}, AudioFormat::mp3,
         {"FIRST SONG_7", "FIRST SONG (2)"}},
    };
    for (const Case& c : cases) {
        ConvertOptions options;
        if (c.audio) {
            options.outputs.add(Output::audio);
            options.audioFormat = *c.audio;
        }
        const auto named = nameSongFiles(database, c.songs, "{title}", options);
        std::vector<std::string> stems;
        for (const std::int32_t song : c.songs) stems.push_back(named.at(song));
        EXPECT_EQ(stems, c.stems) << c.name;
    }
}
#endif

TEST(FileNames, PatternsHoldOnlyTextAndKnownFields) {
    for (const char* good : {"{song}", "x", "{song} - {title} ({artist})", "{title}{title}"}) {
        EXPECT_EQ(checkNamePattern(good), std::nullopt) << good;
    }
    for (const char* bad : {"", "{", "}", "{song", "song}", "a}b{song}", "{foo}", "{Song}",
                            "{ song}", "{{song}}", "{}"}) {
        EXPECT_NE(checkNamePattern(bad), std::nullopt) << bad;
    }
    EXPECT_FALSE(patternUsesTitles("{song}"));
    EXPECT_TRUE(patternUsesTitles("{song} {artist}"));
}

}  // namespace
}  // namespace kdb2mid
