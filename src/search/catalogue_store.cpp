#include "search/catalogue_store.hpp"

#include <chrono>
#include <cstdlib>
#include <new>
#include <system_error>

#include "format/database_layout.hpp"
#include "io/file_io.hpp"

namespace kdb2mid {

namespace {

namespace fs = std::filesystem;

constexpr const char* kStampedFiles[kStampedFileCount] = {
    kSongIndexFile, kSongDataFile, kNameIndexFile, kNameTableFile};

FileStamp stampOf(const fs::path& path) {
    std::error_code error;
    FileStamp stamp;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error) return stamp;
    const fs::file_time_type modified = fs::last_write_time(path, error);
    if (error) return stamp;
    stamp.present = true;
    stamp.size = size;
    stamp.modified = std::chrono::duration_cast<std::chrono::nanoseconds>(
                         modified.time_since_epoch())
                         .count();
    return stamp;
}

std::string utf8Path(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

// The cache file whole, or nothing when it is missing, too large or unreadable.
std::optional<std::vector<std::uint8_t>> readCacheFile(const fs::path& path) {
    RandomAccessFile file;
    if (!file.open(path) || file.size() > kMaxSearchCacheBytes) return std::nullopt;
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.size()));
    if (!file.readAt(0, bytes)) return std::nullopt;
    return bytes;
}

bool writeCacheFile(const fs::path& folder, const fs::path& path,
                    std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return false;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) return false;
    AtomicOutputFile out;
    if (!out.open(path)) return false;
    out.write(bytes);
    return out.commit();
}

}  // namespace

DatabaseIdentity identifyDatabase(const fs::path& folder) {
    DatabaseIdentity identity;
    std::error_code error;
    fs::path absolute = fs::absolute(folder, error);
    if (error) absolute = folder;
    fs::path resolved = fs::weakly_canonical(absolute, error);
    if (error) resolved = absolute.lexically_normal();
    identity.folder = utf8Path(resolved);
    for (std::size_t i = 0; i < kStampedFileCount; ++i) {
        identity.files[i] = stampOf(folder / kStampedFiles[i]);
    }
    return identity;
}

std::optional<fs::path> searchCacheFolder(const char* xdgCacheHome, const char* home) {
    // Relative values are ignored, as the XDG base directory rules ask.
    if (xdgCacheHome && *xdgCacheHome && fs::path(xdgCacheHome).is_absolute()) {
        return fs::path(xdgCacheHome) / "kdb2mid";
    }
    if (home && *home && fs::path(home).is_absolute()) {
        return fs::path(home) / ".cache" / "kdb2mid";
    }
    return std::nullopt;
}

std::optional<fs::path> searchCacheFolder() {
#ifdef _WIN32
    if (const char* local = std::getenv("LOCALAPPDATA"); !std::getenv("XDG_CACHE_HOME") && local) {
        return searchCacheFolder(local, nullptr);
    }
#endif
    return searchCacheFolder(std::getenv("XDG_CACHE_HOME"), std::getenv("HOME"));
}

CatalogueLoad loadCatalogue(SongDatabase& database, const std::optional<fs::path>& cacheFolder,
                            unsigned threads) {
    CatalogueLoad load;
    // Stamped before anything is read: a file that changes while the
    // catalogue is built leaves a cache that no longer matches.
    const DatabaseIdentity identity = identifyDatabase(database.folder());
    load.nameIndexPresent = identity.files[2].present;
    load.nameTablePresent = identity.files[3].present;
    try {
        fs::path cacheFile;
        if (cacheFolder) {
            cacheFile = *cacheFolder / searchCacheFileName(identity.folder);
            if (const auto bytes = readCacheFile(cacheFile)) {
                std::optional<SearchCache> cache = parseSearchCache(*bytes);
                if (cache && cache->identity == identity) {
                    load.cache = CacheUse::used;
                    load.entries = std::move(cache->entries);
                    return load;
                }
                load.cache = cache && cache->identity.folder == identity.folder
                                 ? CacheUse::stale
                                 : CacheUse::damaged;
            }
        }
        load.entries = buildCatalogue(database, threads);
        if (cacheFolder) {
            const std::vector<std::uint8_t> bytes = serializeSearchCache(identity, load.entries);
            load.cacheWritten = writeCacheFile(*cacheFolder, cacheFile, bytes);
        }
    } catch (const std::bad_alloc&) {
        load.entries = {};
        load.outOfMemory = true;
    }
    return load;
}

}  // namespace kdb2mid
