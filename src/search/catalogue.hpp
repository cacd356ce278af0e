// The song catalogue search reads: for every song that has a record, its
// number, the name it is listed under and the titles its record holds, as
// printable UTF-8. Built once from the database (every record decoded), then
// kept in the search cache.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "format/decoded_song.hpp"
#include "io/song_database.hpp"

namespace kdb2mid {

// Bounds on what one song contributes; a record or name beyond them is
// damaged, and the cache parser refuses anything larger.
inline constexpr std::size_t kMaxCatalogueTextBytes = 2048;  // one name or title, UTF-8
inline constexpr std::size_t kMaxCatalogueTitles = 16;

struct CatalogueEntry {
    std::int32_t song = 0;
    // name.tab's name, else the first title, else empty.
    std::string name;
    std::vector<std::string> titles;

    bool operator==(const CatalogueEntry&) const = default;
};

// Stored text (the database's letter encoding) as the catalogue keeps it:
// decoded to UTF-8 (NFC), control characters and bytes that do not decode
// made '?', spaces at either end dropped, cut to kMaxCatalogueTextBytes at a
// character boundary. Always one printable line.
std::string catalogueText(std::span<const std::uint8_t> stored);

// How a stored name or title becomes the entry's text: catalogueText for
// search and list; the song book shows damaged bytes as U+FFFD instead.
// The result is trimmed; an empty one counts as no text.
using CatalogueTextRule = std::string (*)(std::span<const std::uint8_t> stored);

// The titles at the head of the song image's lyric block (from the lead byte
// at table entry N-2 on: text, NUL, separator byte, text, NUL, ... up to the
// 0x20 that ends the list or the image's end), read by the same rules as the
// lyric track's reader but without going on to the lyric lines, which search
// does not need: the first search decodes every record. At most maxTitles.
// table has passed checkTrackOffsets for image; reads only inside image.
void readTitles(std::span<const std::uint8_t> image, const TrackOffsetTable& table,
                std::size_t maxTitles, std::vector<TextRef>& titles);

// The entry of one song from its stored name (empty: none) and its record
// (empty: none). A record whose image does not decode contributes no titles. Reads
// only inside storedName and record; work is scratch space reused between
// songs.
CatalogueEntry makeCatalogueEntry(std::int32_t song, std::span<const std::uint8_t> storedName,
                                  std::span<const std::uint8_t> record, DecodedSong& work,
                                  CatalogueTextRule text = catalogueText);

// Reads the catalogue of an open database: every song SONG.IDX lists with a
// record (one that runs past SONG.DAT's end too, without titles, as `list`
// shows it), names from name.idx and name.tab in the database's folder when
// they open. Records are decoded on `threads` threads (0: one per core, at
// most 8). Entries come in song-number order.
// Throws std::bad_alloc only when the song list itself cannot be held.
std::vector<CatalogueEntry> buildCatalogue(const SongDatabase& database, unsigned threads = 0,
                                           CatalogueTextRule text = catalogueText);

}  // namespace kdb2mid
