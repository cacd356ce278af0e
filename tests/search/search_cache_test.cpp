#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "format/byte_order.hpp"
#include "search/search_cache.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::Bytes;

DatabaseIdentity identity() {
    DatabaseIdentity id;
    id.folder = "/db";
    id.files[0] = {true, 1024, 1'700'000'000'123'456'789};
    id.files[1] = {true, 1 << 20, -5};
    id.files[3] = {true, 7, 0};
    return id;
}

const std::vector<CatalogueEntry> kEntries = {
    {21090, "TRỐNG CƠM", {"Trống cơm", "Dân ca"}},
    {21092, "", {}},
    {50001, "ODE TO JOY", {"Ode to Joy"}},
};

// Offsets in the cache of identity() and kEntries: magic, version, folder
// "/db", four stamps, then the count and the first entry.
constexpr std::size_t kVersionAt = 8;
constexpr std::size_t kFirstStampAt = 12 + 2 + 3;
constexpr std::size_t kCountAt = kFirstStampAt + 4 * 17;
constexpr std::size_t kFirstSongAt = kCountAt + 4;
constexpr std::size_t kFirstNameAt = kFirstSongAt + 4 + 2;  // "TRỐNG CƠM", 12 bytes
constexpr std::size_t kFirstTitleCountAt = kFirstNameAt + 12;

// The bytes with their checksum made right again, as a forger would.
Bytes resealed(Bytes bytes) {
    bytes.resize(bytes.size() - 8);
    const std::uint64_t sum = fnv1a64(bytes);
    appendBigEndian32(bytes, static_cast<std::uint32_t>(sum >> 32));
    appendBigEndian32(bytes, static_cast<std::uint32_t>(sum));
    return bytes;
}

TEST(SearchCache, RoundTrips) {
    const Bytes bytes = serializeSearchCache(identity(), kEntries);
    ASSERT_FALSE(bytes.empty());
    const std::optional<SearchCache> cache = parseSearchCache(bytes);
    ASSERT_TRUE(cache);
    EXPECT_EQ(cache->identity, identity());
    EXPECT_EQ(cache->entries, kEntries);
    EXPECT_EQ(parseSearchCache(serializeSearchCache(identity(), {}))->entries.size(), 0U);
}

TEST(SearchCache, RefusesEveryCutAndEveryChangedByte) {
    const Bytes bytes = serializeSearchCache(identity(), kEntries);
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        EXPECT_FALSE(parseSearchCache(std::span(bytes).first(size))) << "cut to " << size;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        Bytes changed = bytes;
        changed[i] ^= 0x20;
        EXPECT_FALSE(parseSearchCache(changed)) << "byte " << i;
    }
    Bytes longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(parseSearchCache(longer));
}

TEST(SearchCache, RefusesForgedContentWithARightChecksum) {
    const Bytes good = serializeSearchCache(identity(), kEntries);
    ASSERT_EQ(good[kFirstNameAt], 'T');
    ASSERT_EQ(good[kFirstTitleCountAt], 2);
    struct Forgery {
        const char* what;
        std::size_t at;
        std::uint8_t value;
    };
    const Forgery forgeries[] = {
        {"another version", kVersionAt + 3, 2},
        {"present flag not 0 or 1", kFirstStampAt, 2},
        {"entry count past the bytes", kCountAt, 0xFF},
        {"one entry fewer than stored", kCountAt + 3, 2},
        {"escape in a name", kFirstNameAt, 0x1B},
        {"line feed in a name", kFirstNameAt, '\n'},
        {"malformed UTF-8 in a name", kFirstNameAt + 1, 0xC3},
        {"a name longer than allowed", kFirstNameAt - 2, 0x7F},
        {"more titles than allowed", kFirstTitleCountAt, kMaxCatalogueTitles + 1},
        {"songs out of order", kFirstSongAt, 0x7F},
    };
    ASSERT_TRUE(parseSearchCache(resealed(good)));
    for (const Forgery& forgery : forgeries) {
        Bytes bytes = good;
        bytes[forgery.at] = forgery.value;
        EXPECT_FALSE(parseSearchCache(resealed(bytes))) << forgery.what;
    }
}

TEST(SearchCache, StoresOnlyWhatItCanReadBack) {
    const std::vector<std::vector<CatalogueEntry>> refused = {
        {{2, "b", {}}, {1, "a", {}}},                       // out of order
        {{1, "a", {}}, {1, "b", {}}},                       // twice
        {{1, "line\nbreak", {}}},                           // control character
        {{1, "a", {"\xFF"}}},                               // malformed title
        {{1, std::string(kMaxCatalogueTextBytes + 1, 'a'), {}}},
        {{1, "a", std::vector<std::string>(kMaxCatalogueTitles + 1, "t")}},
    };
    for (const auto& entries : refused) {
        EXPECT_TRUE(serializeSearchCache(identity(), entries).empty());
    }
    DatabaseIdentity longFolder = identity();
    longFolder.folder.assign(70000, 'x');
    EXPECT_TRUE(serializeSearchCache(longFolder, kEntries).empty());
}

TEST(SearchCache, FileNameHashesTheFolder) {
    EXPECT_EQ(searchCacheFileName("/db"), searchCacheFileName("/db"));
    EXPECT_NE(searchCacheFileName("/db"), searchCacheFileName("/db2"));
    EXPECT_EQ(searchCacheFileName("").size(), std::string("search-.cache").size() + 16);
}

}  // namespace
}  // namespace kdb2mid
