// The catalogue of a database as search gets it: from the cache when the
// cache belongs to this database as it is now, else built from the database
// and the cache rewritten. Reads and writes files; prints nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "io/song_database.hpp"
#include "search/catalogue.hpp"
#include "search/search_cache.hpp"

namespace kdb2mid {

// The database as it is now: its folder's absolute path (symbolic links
// resolved where possible) and the stamps of SONG.IDX, SONG.DAT, name.idx
// and name.tab.
DatabaseIdentity identifyDatabase(const std::filesystem::path& folder);

// Where caches go: $XDG_CACHE_HOME/kdb2mid, else $HOME/.cache/kdb2mid (on
// Windows, %LOCALAPPDATA%/kdb2mid). Nothing when none of these is set to an
// absolute path: search then works without a cache.
std::optional<std::filesystem::path> searchCacheFolder();
// The same from given values of the variables (nullptr: unset).
std::optional<std::filesystem::path> searchCacheFolder(const char* xdgCacheHome,
                                                       const char* home);

enum class CacheUse : std::uint8_t {
    used,     // the cache matched the database and was read
    missing,  // no cache file (or no cache folder)
    stale,    // a cache of this folder, but a database file changed since
    damaged,  // unreadable, cut short, wrong checksum, wrong version or another folder's
};

struct CatalogueLoad {
    std::vector<CatalogueEntry> entries;
    CacheUse cache = CacheUse::missing;
    bool cacheWritten = false;  // a new cache file is in place
    // Whether name.idx and name.tab were there: without them every song is
    // listed under its first title, which the user should be told.
    bool nameIndexPresent = false;
    bool nameTablePresent = false;
    bool outOfMemory = false;  // the catalogue could not be held; entries is empty
};

// The catalogue of the open database, through the cache in cacheFolder
// (nothing: no cache). A cache that does not match is ignored and replaced;
// one that cannot be written is no error. The new cache is written complete
// or not at all. Loads the database's index.
CatalogueLoad loadCatalogue(SongDatabase& database,
                            const std::optional<std::filesystem::path>& cacheFolder,
                            unsigned threads = 0);

}  // namespace kdb2mid
