// A database for the convert option tests: the batch fixture's songs, then
// songs that share a title, one without lyrics and one with drums and keys at
// both ends of the range but no tempo; and helpers to read what was written.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "convert/batch_fixture.hpp"

namespace kdb2mid::test {

inline constexpr std::int32_t kSameTitleSong = 21095;  // "PLAIN", as kPlainSong
inline constexpr std::int32_t kOtherCaseSong = 21096;  // "Plain"
inline constexpr std::int32_t kNumberedSong = 21097;   // "PLAIN (2)"
inline constexpr std::int32_t kSilentSong = 21098;     // "SILENT": no lyric line
inline constexpr std::int32_t kDrumSong = 21099;       // "DRUMS": channel 10, keys 0 and 127, no tempo

inline Bytes songRecord(const std::string& title, const std::vector<sample::LyricLine>& lines,
                        std::vector<Bytes> tracks = {noteTrack()}) {
    sample::SongSpec spec;
    spec.tracks = std::move(tracks);
    spec.lyricBlock = sample::buildLyricBlock({title}, lines);
    return sample::buildRecord(spec);
}

inline sample::Database titledDatabase() {
    sample::Database database = fixtureDatabase();
    database.records.push_back(songRecord("PLAIN", {{" b", false, {0, 5}}}));
    database.records.push_back(songRecord("Plain", {{" c", false, {0, 5}}}));
    database.records.push_back(songRecord("PLAIN (2)", {{" d", false, {0, 5}}}));
    database.records.push_back(songRecord("SILENT", {}));
    // A drum, then keys 0 and 127 on channel 1 with key pressure, no tempo event.
    const Bytes drums = bytes({0x00, 0x99, 0x24, 0x64, 0x60, 0x89, 0x24, 0x00,  //
                               0x00, 0x90, 0x00, 0x40, 0x00, 0xA0, 0x00, 0x20,  //
                               0x10, 0x80, 0x00, 0x00, 0x00, 0x90, 0x7F, 0x40,  //
                               0x10, 0x80, 0x7F, 0x00, 0x00, 0xFF, 0x2F, 0x00});
    database.records.push_back(songRecord("DRUMS", {{" x y", false, {0, 5, 5, 5}}}, {drums}));
    return database;
}

inline std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every file below folder, by its path relative to folder, with its bytes.
inline std::map<std::string, Bytes> treeContents(const std::filesystem::path& folder) {
    std::map<std::string, Bytes> contents;
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file()) {
            contents[entry.path().lexically_relative(folder).string()] =
                sample::readFile(entry.path());
        }
    }
    return contents;
}

}  // namespace kdb2mid::test
