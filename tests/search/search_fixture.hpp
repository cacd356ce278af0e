// A small database with names and titles for the catalogue and cache tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "midi/vietnamese_song.hpp"
#include "format/byte_order.hpp"
#include "generator/database_writer.hpp"

namespace kdb2mid::test {

// Songs 21090.. : the Vietnamese song (titles "Bài Hát Thử", "Dân ca"), no
// record, a record cut short (no titles), the Vietnamese song again.
inline void writeSearchDatabase(const std::filesystem::path& folder) {
    sample::Database database;
    const sample::Bytes song = sample::buildRecord(vietnameseSong());
    database.records = {song, {}, sample::Bytes(song.begin(), song.begin() + 32), song};
    sample::writeDatabase(database, folder);
}

// name.idx and name.tab for the first songs, stored bytes each ("" no name).
inline void writeNames(const std::filesystem::path& folder, const std::vector<std::string>& names) {
    sample::Bytes index;
    sample::Bytes table;
    for (const std::string& name : names) {
        appendBigEndian32(index, static_cast<std::uint32_t>(table.size()));
        if (name.empty()) continue;
        table.insert(table.end(), name.begin(), name.end());
        table.push_back(0);  // the byte that ends a name
    }
    appendBigEndian32(index, static_cast<std::uint32_t>(table.size()));
    sample::writeFile(folder / "name.idx", index);
    sample::writeFile(folder / "name.tab", table);
}

}  // namespace kdb2mid::test
