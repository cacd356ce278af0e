#include "inspect/database_search.hpp"

#include "messages/messages.hpp"
#include "search/catalogue_store.hpp"
#include "search/song_search.hpp"

namespace kdb2mid {

bool searchDatabase(const SearchRequest& request, const MessageSink& out) {
    const std::vector<std::string> query = searchQuery(request.words);
    if (query.empty()) return false;
    SongDatabase database;
    if (const auto error = database.open(request.databaseFolder);
        error != SongDatabase::OpenError::none) {
        out.error(databaseOpenFailure(error, request.databaseFolder));
        return false;
    }
    const CatalogueLoad load = loadCatalogue(database, searchCacheFolder());
    if (load.outOfMemory) {
        out.error(kCatalogueTooLarge);
        return false;
    }
    const std::vector<SearchMatch> matches = searchCatalogue(
        load.entries, query, request.limit == 0 ? kNoLimit : request.limit);
    for (const SearchMatch& match : matches) out.line(searchLine(load.entries[match.entry]));
    return !matches.empty();
}

}  // namespace kdb2mid
