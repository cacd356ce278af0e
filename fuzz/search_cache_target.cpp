// Proves that the search cache parser, given any bytes, either refuses them
// or returns a catalogue it would write back byte for byte, whose songs rise
// and whose names and titles are printable one-line UTF-8 within their
// bounds, so that nothing a cache file holds reaches the terminal as a
// control sequence or breaks a line of the search's output.
//
// Input: the cache file's bytes. Most inputs fail the checksum; the seeds
// are whole caches, and libFuzzer's comparison tracing finds checksums.
#include <algorithm>
#include <vector>

#include "fuzz_targets.hpp"
#include "search/search_cache.hpp"
#include "search/utf8_text.hpp"

namespace kdb2mid::fuzz {

void fuzzSearchCache(Input input) {
    const std::optional<SearchCache> cache = parseSearchCache(input);
    if (!cache) return;
    std::int64_t previous = -1LL << 40;
    for (const CatalogueEntry& entry : cache->entries) {
        require(entry.song > previous, "songs do not rise");
        previous = entry.song;
        require(entry.titles.size() <= kMaxCatalogueTitles, "too many titles");
        require(entry.name.size() <= kMaxCatalogueTextBytes && isPrintableUtf8(entry.name),
                "name not one printable line");
        for (const std::string& title : entry.titles) {
            require(title.size() <= kMaxCatalogueTextBytes && isPrintableUtf8(title),
                    "title not one printable line");
        }
    }
    const std::vector<std::uint8_t> again = serializeSearchCache(cache->identity, cache->entries);
    require(std::equal(again.begin(), again.end(), input.begin(), input.end()),
            "parsed cache does not write back to its bytes");
}

}  // namespace kdb2mid::fuzz
