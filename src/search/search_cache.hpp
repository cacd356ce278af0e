// The search cache file: the catalogue of one database, so that a search
// after the first reads one small file instead of decoding every record.
//
// Layout (numbers big-endian):
//   8    magic "kdb2src" and 0x1A
//   4    format version (kSearchCacheVersion)
//   2+n  the database folder's absolute path (length, bytes)
//   4x17 SONG.IDX, SONG.DAT, name.idx, name.tab: present (1), size (8),
//        modification time in ns (8)
//   4    entry count, then per entry in rising song order:
//        song (4), name (2+n), title count (1), titles (2+n each)
//   8    FNV-1a 64 checksum of every byte before it
// The cache is written by this program, but it sits in a folder any program
// of the user can write: the parser trusts nothing in it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "search/catalogue.hpp"

namespace kdb2mid {

inline constexpr std::uint32_t kSearchCacheVersion = 1;
// A cache larger than this is neither written nor read. 30,000 songs take
// about 3 MB; a database too large for it is searched without a cache.
inline constexpr std::uint64_t kMaxSearchCacheBytes = 64ULL << 20;

// One database file as the cache saw it: a change of size or time means the
// database changed and the cache is rebuilt.
struct FileStamp {
    bool present = false;
    std::uint64_t size = 0;
    std::int64_t modified = 0;  // ns since the file clock's epoch

    bool operator==(const FileStamp&) const = default;
};

// The files whose stamps identify a database, in the cache's order.
inline constexpr std::size_t kStampedFileCount = 4;  // SONG.IDX, SONG.DAT, name.idx, name.tab

struct DatabaseIdentity {
    std::string folder;  // absolute path, UTF-8 (as the platform's path gives it)
    std::array<FileStamp, kStampedFileCount> files{};

    bool operator==(const DatabaseIdentity&) const = default;
};

struct SearchCache {
    DatabaseIdentity identity;
    std::vector<CatalogueEntry> entries;
};

// The cache file's bytes. Nothing (an empty vector) when the catalogue cannot
// be stored so that parseSearchCache would take it back: a folder path over
// 65535 bytes, songs out of order, a text over kMaxCatalogueTextBytes or not
// printable UTF-8, more than kMaxCatalogueTitles titles, more than
// kMaxSearchCacheBytes in all.
std::vector<std::uint8_t> serializeSearchCache(const DatabaseIdentity& identity,
                                               std::span<const CatalogueEntry> entries);

// Reads a cache file's bytes. Nothing unless every field is whole and within
// its bounds, the checksum holds, songs rise, every text is printable UTF-8
// of at most kMaxCatalogueTextBytes and nothing follows the checksum. Never
// reads outside bytes; allocates only after checking the bytes are there.
std::optional<SearchCache> parseSearchCache(std::span<const std::uint8_t> bytes);

// FNV-1a 64 of bytes: the cache's checksum, and the hash that names a
// database's cache file.
std::uint64_t fnv1a64(std::span<const std::uint8_t> bytes) noexcept;

// The cache file's name for a database folder: "search-<16 hex digits>.cache".
std::string searchCacheFileName(std::string_view folder);

}  // namespace kdb2mid
