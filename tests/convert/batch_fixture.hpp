// A small song database for the batch, info and list tests, and the checks
// that compare a batch's output with single-song runs on any database.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "io/song_database.hpp"
#include "generator/database_writer.hpp"
#include "test_support.hpp"

namespace kdb2mid::test {

using sample::Bytes;

// Songs of the fixture database, numbered from the first song number on.
inline constexpr std::int32_t kChorusSong = 21090;   // two tracks, tempo change, lyrics, 2 recordings
inline constexpr std::int32_t kEmptySong = 21091;    // equal index entries
inline constexpr std::int32_t kBrokenSong = 21092;   // a record whose track table is too small
inline constexpr std::int32_t kPlainSong = 21093;    // one track, no chorus
inline constexpr std::int32_t kLettersSong = 21094;  // two-byte letters in its title and lyrics

// A tempo track: 500000 us per quarter at 0, 250000 from tick 480, ends at 960.
inline Bytes tempoTrack() {
    return bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,  //
                  0x83, 0x60, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90,  //
                  0x83, 0x60, 0xFF, 0x2F, 0x00});
}

// A note on, then (running status) its release 1200 ticks later.
inline Bytes noteTrack() {
    return bytes({0x00, 0xC0, 0x05, 0x00, 0x90, 0x3C, 0x64, 0x89, 0x30, 0x3C, 0x00, 0x00, 0xFF,
                  0x2F, 0x00});
}

inline sample::Database fixtureDatabase() {
    sample::Database database;

    sample::SongSpec chorus;
    chorus.tracks = {tempoTrack(), noteTrack()};
    chorus.lyricBlock = sample::buildLyricBlock(
        {"FIRST SONG", "SINGER"}, {{" la la", false, {0, 10, 10, 10, 10, 10}},
                                  {"do", true, {200, 20}}});
    chorus.flags = kChorusFlag;
    chorus.chorusCount = 2;
    chorus.chorusIndex = 1;
    database.records.push_back(sample::buildRecord(chorus));

    database.records.push_back({});
    database.records.push_back(Bytes(32, 0));

    sample::SongSpec plain;
    plain.tracks = {noteTrack()};
    plain.lyricBlock = sample::buildLyricBlock({"PLAIN"}, {{" a", false, {0, 5}}});
    database.records.push_back(sample::buildRecord(plain));

    sample::SongSpec letters;
    letters.tracks = {noteTrack()};
    // "TI\xD3NG" holds the single-byte letter 0xD3; "ca\xF9" a base letter and its mark.
    letters.lyricBlock = sample::buildLyricBlock({"TI\xD3NG"}, {{" ca\xF9", false, {0, 3, 3}}});
    database.records.push_back(sample::buildRecord(letters));

    // Entry 0 belongs to no song of this database; entries 1 and 2 are the
    // chorus song's: part 7 one unit long, part 8 two units.
    database.chorusIndex = {{99, 0, 0}, {7, 0, 1}, {8, 1, 3}};
    database.chorusData.resize(3 * kChorusDataUnit);
    for (std::size_t i = 0; i < database.chorusData.size(); ++i) {
        database.chorusData[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    return database;
}

// Every file in folder, by name, with its bytes.
inline std::map<std::string, Bytes> folderContents(const std::filesystem::path& folder) {
    std::map<std::string, Bytes> contents;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            contents[entry.path().filename().string()] = sample::readFile(entry.path());
        }
    }
    return contents;
}

// The lines of a text, without their line ends.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        out.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

// Converts every song that has a record with `kdb2mid SONG` in a copy of the
// database, then the whole database with `kdb2mid convert --all` under each
// thread count, and expects the same files, byte for byte, and the same
// failure lines (in song order) from both.
inline void expectBatchMatchesSingleSongs(const std::filesystem::path& databaseFolder,
                                          const std::vector<int>& threadCounts) {
    SongDatabase database;
    ASSERT_EQ(database.open(databaseFolder), SongDatabase::OpenError::none) << databaseFolder;
    const std::map<std::string, Bytes> databaseFiles = folderContents(databaseFolder);

    TempDir single;
    for (const auto& [name, content] : databaseFiles) sample::writeFile(single / name, content);
    std::string singleMessages;
    std::size_t songsWithRecords = 0;
    for (std::int32_t i = 0; i < database.songCount(); ++i) {
        const std::int32_t song = database.firstSong() + i;
        if (database.locate(song).outcome == RecordLookup::Outcome::empty) continue;
        ++songsWithRecords;
        const RunResult run = runTool(single.path(), {std::to_string(song)});
        singleMessages += run.out;
        EXPECT_EQ(run.exitCode, run.out.empty() ? 0 : 1) << song << ": " << run.out;
    }
    ASSERT_GT(songsWithRecords, 0U);
    std::map<std::string, Bytes> expected = folderContents(single.path());
    for (const auto& entry : databaseFiles) expected.erase(entry.first);
    ASSERT_FALSE(expected.empty());

    for (int threads : threadCounts) {
        TempDir out;
        const std::filesystem::path outFolder = out / "songs";
        const RunResult run = runTool(out.path(), {"convert", "--all", "-C", databaseFolder.string(),
                                                   "-o", outFolder.string(), "-j",
                                                   std::to_string(threads)});
        SCOPED_TRACE("-j" + std::to_string(threads));
        EXPECT_EQ(run.err, "");  // no progress line: standard error is not a terminal
        std::vector<std::string> printed = lines(run.out);
        ASSERT_FALSE(printed.empty());
        const std::string summary = printed.back();
        printed.pop_back();
        EXPECT_EQ(printed, lines(singleMessages));
        EXPECT_EQ(run.exitCode, singleMessages.empty() ? 0 : 1) << summary;

        const std::map<std::string, Bytes> written = folderContents(outFolder);
        std::set<std::string> writtenNames;
        std::set<std::string> expectedNames;
        for (const auto& entry : written) writtenNames.insert(entry.first);
        for (const auto& entry : expected) expectedNames.insert(entry.first);
        EXPECT_EQ(writtenNames, expectedNames);
        for (const auto& [name, content] : expected) {
            const auto found = written.find(name);
            if (found != written.end()) {
                EXPECT_TRUE(found->second == content) << name;
            }
        }
    }
}

}  // namespace kdb2mid::test
