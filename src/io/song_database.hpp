// The song database files of one folder, opened once and read by offset.
#pragma once

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "format/database_layout.hpp"
#include "io/file_io.hpp"

namespace kdb2mid {

// A block of SONG.IDX kept by one thread between lookups: songs looked up in
// order read the index once, a block at a time, so a run over every song
// holds the same few kilobytes of it whatever the index's size. A block used
// with another database, or after the database is opened again, is read anew.
class IndexBlock {
private:
    friend class SongDatabase;
    std::vector<std::uint8_t> bytes_;
    std::uint64_t start_ = 0;  // SONG.IDX offset of bytes_[0]
    std::uint64_t opening_ = 0;  // the SongDatabase::open() the bytes were read after
};

class SongDatabase {
public:
    enum class OpenError : std::uint8_t {
        none,
        songIndex,         // SONG.IDX does not open
        songData,          // SONG.DAT does not open
        songIndexNotFile,  // SONG.IDX is a folder, a FIFO, a device, ...
        songDataNotFile,
    };
    // Opens SONG.IDX and SONG.DAT in folder; the chorus files are opened on
    // first use.
    OpenError open(const std::filesystem::path& folder);

    // Where the song's record lies: its two SONG.IDX entries checked against
    // SONG.DAT's size and against kMaxRecordSize. Safe from several threads.
    RecordLookup locate(std::int32_t songNumber) const;
    // The same, reading SONG.IDX through block, one per thread: for runs over
    // many songs in order.
    RecordLookup locate(std::int32_t songNumber, IndexBlock& block) const;
    // Reads a found record whole into record (resized to its length).
    bool readRecord(const RecordLookup& where, std::vector<std::uint8_t>& record) const;

    // Song numbers that have SONG.IDX entries for their start and their end.
    std::int32_t firstSong() const noexcept;
    std::int32_t songCount() const noexcept;

    // CRS&TCK.IDX and CHORUS.DAT; nullptr when the file does not open.
    const RandomAccessFile* chorusIndex() const;
    const RandomAccessFile* chorusData() const;
    // The chorus file is there but is no regular file, so it was not opened.
    bool chorusIndexNotFile() const;
    bool chorusDataNotFile() const;

    const std::filesystem::path& folder() const noexcept { return folder_; }

private:
    void openChorusFiles() const;

    std::filesystem::path folder_;
    // Tells blocks read from an earlier opening (of any database) apart.
    std::uint64_t opening_ = 0;
    RandomAccessFile songIndex_;
    RandomAccessFile songData_;
    mutable std::once_flag chorusOnce_;
    mutable RandomAccessFile chorusIndex_;
    mutable RandomAccessFile chorusData_;
};

}  // namespace kdb2mid
