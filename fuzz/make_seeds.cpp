// Writes the seed corpora of the fuzz targets: a few small, well-formed
// songs, databases and name lists, so fuzzing starts from inputs that reach
// deep into each format. With a sample database folder as second argument,
// its records and names are added as well.
//   kdb2mid_make_fuzz_seeds OUT_FOLDER [SAMPLE_DATABASE_FOLDER]
// writes OUT_FOLDER/record, OUT_FOLDER/song_files, OUT_FOLDER/convert_song and
// OUT_FOLDER/song_names.
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "io/song_database.hpp"
#include "database_frame.hpp"
#include "format/byte_order.hpp"
#include "generator/database_writer.hpp"

namespace {

namespace fs = std::filesystem;
using kdb2mid::sample::Bytes;
using kdb2mid::sample::LyricLine;
using kdb2mid::sample::SongSpec;
using kdb2mid::fuzz::DatabaseFrame;

// A lyric line whose events follow each other every 60 ticks from `time` on.
LyricLine line(const std::string& text, std::uint16_t time, bool mark = false) {
    LyricLine result{text, mark, {}};
    const std::size_t events = kdb2mid::sample::lyricEventCount(text);
    for (std::size_t i = 0; i < events; ++i) result.words.push_back(i == 0 ? time : 60);
    return result;
}

Bytes track(std::uint8_t note) {
    return {0x00, 0x90, note, 0x64, 0x78, 0x80, note, 0x00, 0x00, 0xFF, 0x2F, 0x00};
}

std::vector<std::pair<std::string, SongSpec>> songs() {
    std::vector<std::pair<std::string, SongSpec>> out;
    SongSpec plain;
    plain.tracks = {track(0x3C)};
    plain.lyricBlock = kdb2mid::sample::buildLyricBlock({"Song"}, {line(" La la", 0)});
    out.emplace_back("plain", plain);

    SongSpec letters;
    letters.tracks = {track(0x3C), track(0x40), Bytes{}};
    // Joining bytes after a base letter, whole letters, letters that start
    // anew, a '0'-marked line and a line with no text.
    letters.lyricBlock = kdb2mid::sample::buildLyricBlock(
        {"Ti\xEA\xD9ng", "", "Ca s\xC7"},
        {line(" Tr\xF6\xF8\xECng s\xF4\xD9n", 120), line("\xF1i \xD0" "a\xD9", 600, true),
         line("", 900), line("ca\xD9 \xF4", 960)});
    out.emplace_back("letters", letters);

    SongSpec chorus = plain;
    chorus.flags = 0x80;
    chorus.chorusCount = 2;
    chorus.chorusIndex = 1;
    out.emplace_back("chorus", chorus);

    SongSpec repeats;
    Bytes body;
    for (int i = 0; i < 40; ++i) {
        const Bytes t = track(static_cast<std::uint8_t>(0x30 + i % 5));
        body.insert(body.end(), t.begin(), t.end() - 3);
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    repeats.tracks = {body, track(0x45)};
    repeats.lyricBlock = kdb2mid::sample::buildLyricBlock(
        {std::string(200, 'T')}, {line(" aaaaaaaaaaaa", 0), line("bbbbbbbbbbbb", 800)});
    out.emplace_back("repeats", repeats);
    return out;
}

// Lyrics no screen holds: a thousand words a tick apart on one line, then a
// single word of 400 letters.
SongSpec crowded() {
    std::string many;
    for (int i = 0; i < 1000; ++i) many += " a";
    LyricLine thousand{many, false, {}};
    thousand.words.assign(kdb2mid::sample::lyricEventCount(many), 1);
    SongSpec song;
    song.tracks = {track(0x3C)};
    song.lyricBlock = kdb2mid::sample::buildLyricBlock(
        {"Crowded"}, {thousand, line(std::string(400, 'w'), 200)});
    return song;
}

void write(const fs::path& path, const Bytes& bytes) {
    fs::create_directories(path.parent_path());
    kdb2mid::sample::writeFile(path, bytes);
}

// Converts a database written by the sample library into a frame.
Bytes frameOf(const kdb2mid::sample::Database& database, std::int32_t song,
              std::uint8_t chorusPaddingUnits, bool karaokeInUtf8 = false) {
    const fs::path folder = fs::temp_directory_path() / "kdb2mid-fuzz-seeds";
    kdb2mid::sample::writeDatabase(database, folder);
    DatabaseFrame frame;
    frame.song = song;
    frame.chorusPaddingUnits = chorusPaddingUnits;
    frame.utf8Lyrics = frame.karaoke = karaokeInUtf8;
    const char* names[] = {kdb2mid::kSongIndexFile, kdb2mid::kSongDataFile,
                           kdb2mid::kChorusIndexFile, kdb2mid::kChorusDataFile};
    for (std::size_t file = 0; file < DatabaseFrame::fileCount; ++file) {
        frame.files[file] = kdb2mid::sample::readFile(folder / names[file]);
    }
    fs::remove_all(folder);
    return kdb2mid::fuzz::encodeDatabaseFrame(frame);
}

// A song_files input: the option byte, then the record. Each record once as
// it is (stored text) and once in UTF-8, a semitone up, at 150 %.
void writeSongFilesSeeds(const fs::path& out, const std::string& name, const Bytes& record) {
    for (const std::uint8_t options : {std::uint8_t{0x00}, std::uint8_t{0x53}}) {
        Bytes input(record.size() + 1, options);
        std::copy(record.begin(), record.end(), input.begin() + 1);
        write(out / "song_files" / (name + (options == 0 ? "" : "-changed")), input);
    }
}

void writeRecordAndDatabaseSeeds(const fs::path& out) {
    kdb2mid::sample::Database database;
    for (const auto& [name, song] : songs()) {
        const Bytes record = kdb2mid::sample::buildRecord(song);
        write(out / "record" / name, record);
        writeSongFilesSeeds(out, name, record);
        database.records.push_back(record);
    }
    write(out / "record" / "crowded", kdb2mid::sample::buildRecord(crowded()));
    database.records.push_back({});  // a song without a record
    database.chorusIndex = {{1, 0, 1}, {2, 1, 2}, {3, 2, 2}};
    database.chorusData = Bytes(100, 0x4D);
    // Songs 21090.. in the order of songs(), then the empty one.
    write(out / "convert_song" / "plain", frameOf(database, 21090, 2));
    write(out / "convert_song" / "letters", frameOf(database, 21091, 2));
    write(out / "convert_song" / "letters-kar-utf8", frameOf(database, 21091, 0, true));
    write(out / "convert_song" / "chorus", frameOf(database, 21092, 2));
    write(out / "convert_song" / "repeats", frameOf(database, 21093, 0));
    write(out / "convert_song" / "no-record", frameOf(database, 21094, 0));
}

// A song_names input: flags, entry length, entries from song 50001 on, name.tab.
Bytes namesInput(bool complete, const Bytes& entries, const Bytes& nameTable) {
    Bytes input{static_cast<std::uint8_t>(complete ? 1 : 0),
                static_cast<std::uint8_t>(entries.size() >> 8),
                static_cast<std::uint8_t>(entries.size())};
    input.insert(input.end(), entries.begin(), entries.end());
    input.insert(input.end(), nameTable.begin(), nameTable.end());
    return input;
}

void writeNameSeeds(const fs::path& out) {
    // Names: plain, composed letters (base letter then mark), a name of length
    // 0, a skipped entry, a mark that no letter before it can take.
    const std::vector<std::string> names = {"HA\xD8", "\xD4\xD9I", "", "U\xCF\xD1", "E\xCA"};
    Bytes table;
    Bytes entries;
    for (std::size_t i = 0; i < names.size(); ++i) {
        kdb2mid::appendBigEndian32(entries, static_cast<std::uint32_t>(table.size()));
        if (i == 2) kdb2mid::appendBigEndian32(entries, static_cast<std::uint32_t>(table.size()));
        table.insert(table.end(), names[i].begin(), names[i].end());
        table.push_back(0);
    }
    kdb2mid::appendBigEndian32(entries, static_cast<std::uint32_t>(table.size()));
    write(out / "song_names" / "short-index", namesInput(false, entries, table));
    write(out / "song_names" / "complete-index", namesInput(true, entries, table));
}

// Records and names of a sample database folder, where it has them.
void writeSampleDatabaseSeeds(const fs::path& out, const fs::path& sample) {
    kdb2mid::SongDatabase database;
    if (database.open(sample) == kdb2mid::SongDatabase::OpenError::none) {
        const std::int32_t end = database.firstSong() + database.songCount();
        for (std::int32_t song = database.firstSong(); song < end; ++song) {
            const kdb2mid::RecordLookup where = database.locate(song);
            Bytes record;
            if (where.outcome != kdb2mid::RecordLookup::Outcome::found ||
                !database.readRecord(where, record)) {
                continue;
            }
            write(out / "record" / ("sample-" + std::to_string(song)), record);
            writeSongFilesSeeds(out, "sample-" + std::to_string(song), record);
            kdb2mid::sample::Database small;
            small.records = {record};
            // The chorus files only for a song that asks for recordings.
            if (kdb2mid::chorusRequest(record) && fs::exists(sample / kdb2mid::kChorusIndexFile) &&
                fs::exists(sample / kdb2mid::kChorusDataFile)) {
                const Bytes index = kdb2mid::sample::readFile(sample / kdb2mid::kChorusIndexFile);
                for (std::size_t at = 0; at + kdb2mid::kChorusEntrySize <= index.size();
                     at += kdb2mid::kChorusEntrySize) {
                    small.chorusIndex.push_back(kdb2mid::parseChorusIndexEntry(
                        std::span(index).subspan(at, kdb2mid::kChorusEntrySize)));
                }
                small.chorusData = kdb2mid::sample::readFile(sample / kdb2mid::kChorusDataFile);
            }
            write(out / "convert_song" / ("sample-" + std::to_string(song)),
                  frameOf(small, 21090, 0));
        }
    }
    const fs::path nameIndex = sample / "name.idx";
    const fs::path nameTable = sample / "name.tab";
    if (fs::exists(nameIndex) && fs::exists(nameTable)) {
        const Bytes index = kdb2mid::sample::readFile(nameIndex);
        const std::size_t first = *kdb2mid::songIndexOffset(50001);
        if (index.size() > first) {
            const Bytes entries(index.begin() + static_cast<std::ptrdiff_t>(first), index.end());
            write(out / "song_names" / "sample",
                  namesInput(false, entries, kdb2mid::sample::readFile(nameTable)));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: %s OUT_FOLDER [SAMPLE_DATABASE_FOLDER]\n", argv[0]);
        return 2;
    }
    try {
        const fs::path out = argv[1];
        writeRecordAndDatabaseSeeds(out);
        writeNameSeeds(out);
        if (argc == 3) writeSampleDatabaseSeeds(out, argv[2]);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
