// Proves that the search cache parser, given any bytes, either refuses them
// or returns a catalogue it would write back byte for byte, whose songs rise
// and whose names and titles are printable one-line UTF-8 within their
// bounds, so that nothing a cache file holds reaches the terminal as a
// control sequence or breaks a line of the search's output.
//
// Input: the cache file's bytes. Each input is parsed as it is and once more
// with its last 8 bytes made the right checksum, so that the fuzzer reaches
// the fields behind the checksum as a forger would.
#include <algorithm>
#include <vector>

#include "fuzz_targets.hpp"
#include "search/search_cache.hpp"
#include "format/utf8_text.hpp"

namespace kdb2mid::fuzz {

namespace {

constexpr std::size_t kChecksumBytes = 8;

void checkParse(Input bytes) {
    const std::optional<SearchCache> cache = parseSearchCache(bytes);
    if (!cache) return;
    std::int64_t previous = -(std::int64_t{1} << 40);
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
    require(std::equal(again.begin(), again.end(), bytes.begin(), bytes.end()),
            "parsed cache does not write back to its bytes");
}

}  // namespace

void fuzzSearchCache(Input input) {
    checkParse(input);
    if (input.size() < kChecksumBytes) return;
    std::vector<std::uint8_t> sealed(input.begin(), input.end());
    const std::uint64_t sum = fnv1a64(input.first(input.size() - kChecksumBytes));
    for (std::size_t i = 0; i < kChecksumBytes; ++i) {
        sealed[sealed.size() - 1 - i] = static_cast<std::uint8_t>(sum >> (8 * i));
    }
    checkParse(sealed);
}

}  // namespace kdb2mid::fuzz
