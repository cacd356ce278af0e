// search_once DBDIR CACHEDIR WORDS...: one search as the command makes it
// (open the database, catalogue through the cache, match, print), for
// bench/search.sh to time as a whole process. Prints the matches as
// "NUMBER<TAB>NAME" lines and, on standard error, how the cache was used.
#include <cstdio>
#include <string>
#include <vector>

#include "search/catalogue_store.hpp"
#include "search/song_search.hpp"

int main(int argc, char** argv) {
    using namespace kdb2mid;
    if (argc < 4) {
        std::fprintf(stderr, "usage: search_once DBDIR CACHEDIR WORDS...\n");
        return 2;
    }
    SongDatabase database;
    if (database.open(argv[1]) != SongDatabase::OpenError::none) {
        std::fprintf(stderr, "search_once: cannot open the database\n");
        return 2;
    }
    const CatalogueLoad load = loadCatalogue(database, std::filesystem::path(argv[2]));
    const std::vector<std::string> arguments(argv + 3, argv + argc);
    const std::vector<std::string> query = searchQuery(arguments);
    const std::vector<SearchMatch> matches = searchCatalogue(load.entries, query);
    std::string out;
    for (const SearchMatch& match : matches) out += searchLine(load.entries[match.entry]) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    static const char* const kUses[] = {"used", "missing", "stale", "damaged"};
    std::fprintf(stderr, "cache %s%s, %zu songs, %zu matches\n",
                 kUses[static_cast<int>(load.cache)], load.cacheWritten ? ", written" : "",
                 load.entries.size(), matches.size());
    return matches.empty() ? 1 : 0;
}
