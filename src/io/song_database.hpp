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

class SongDatabase {
public:
    enum class OpenError : std::uint8_t { none, songIndex, songData };
    // Opens SONG.IDX and SONG.DAT in folder; the chorus files are opened on
    // first use.
    OpenError open(const std::filesystem::path& folder);

    // Reads SONG.IDX whole so that locate() answers from memory: for runs
    // over many songs. A single song needs only its two entries and does
    // without. Call before locate() is used from several threads. Returns
    // false (and locate() keeps reading the file) if SONG.IDX could not be
    // read or held in memory.
    bool loadIndex();

    RecordLookup locate(std::int32_t songNumber) const;
    // Reads a found record whole into record (resized to its length).
    bool readRecord(const RecordLookup& where, std::vector<std::uint8_t>& record) const;

    // Song numbers that have SONG.IDX entries for their start and their end.
    std::int32_t firstSong() const noexcept;
    std::int32_t songCount() const noexcept;

    // CRS&TCK.IDX and CHORUS.DAT; nullptr when the file does not open.
    const RandomAccessFile* chorusIndex() const;
    const RandomAccessFile* chorusData() const;

    const std::filesystem::path& folder() const noexcept { return folder_; }

private:
    void openChorusFiles() const;

    std::filesystem::path folder_;
    RandomAccessFile songIndex_;
    std::vector<std::uint8_t> indexBytes_;  // SONG.IDX when loadIndex() succeeded
    bool indexLoaded_ = false;
    RandomAccessFile songData_;
    mutable std::once_flag chorusOnce_;
    mutable RandomAccessFile chorusIndex_;
    mutable RandomAccessFile chorusData_;
};

}  // namespace kdb2mid
