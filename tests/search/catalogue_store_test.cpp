#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "search/catalogue_store.hpp"
#include "search/search_fixture.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

namespace fs = std::filesystem;

class CatalogueStore : public testing::Test {
protected:
    void SetUp() override {
        test::writeSearchDatabase(db.path());
        test::writeNames(db.path(), {"TRO\xC1NG C\xD4M"});
    }

    CatalogueLoad load(const std::optional<fs::path>& folder) {
        SongDatabase database;
        EXPECT_EQ(database.open(db.path()), SongDatabase::OpenError::none);
        return loadCatalogue(database, folder, 1);
    }
    CatalogueLoad load() { return load(cache.path()); }

    fs::path cacheFile() const {
        return cache.path() / searchCacheFileName(identifyDatabase(db.path()).folder);
    }

    test::TempDir db;
    test::TempDir cache;
};

TEST_F(CatalogueStore, SecondLoadReadsTheCache) {
    const CatalogueLoad first = load();
    EXPECT_EQ(first.cache, CacheUse::missing);
    EXPECT_TRUE(first.cacheWritten);
    EXPECT_TRUE(fs::is_regular_file(cacheFile()));
    ASSERT_EQ(first.entries.size(), 3U);
    EXPECT_EQ(first.entries[0].name, "TRỐNG CƠM");

    const CatalogueLoad second = load();
    EXPECT_EQ(second.cache, CacheUse::used);
    EXPECT_FALSE(second.cacheWritten);
    EXPECT_EQ(second.entries, first.entries);
    EXPECT_EQ(cache.files().size(), 1U);
}

TEST_F(CatalogueStore, StaleCacheIsRebuilt) {
    load();
    // A renamed song: name.tab changes size.
    test::writeNames(db.path(), {"BE\xD8O DA\xCFT MA\xC2Y TRO\xC2I"});
    const CatalogueLoad changed = load();
    EXPECT_EQ(changed.cache, CacheUse::stale);
    EXPECT_TRUE(changed.cacheWritten);
    EXPECT_EQ(changed.entries[0].name, "BÈO DẠT MÂY TRÔI");
    EXPECT_EQ(load().cache, CacheUse::used);
}

TEST_F(CatalogueStore, DamagedCacheIsIgnoredAndReplaced) {
    const std::vector<CatalogueEntry> fresh = load().entries;
    const test::Bytes good = sample::readFile(cacheFile());
    struct Damage {
        const char* what;
        test::Bytes bytes;
    };
    test::Bytes flipped = good;
    flipped[good.size() / 2] ^= 0x01;
    DatabaseIdentity other = identifyDatabase(db.path());
    other.folder += "-elsewhere";
    const Damage damages[] = {
        {"empty", {}},
        {"cut short", test::Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2))},
        {"a changed byte", flipped},
        {"not a cache at all", test::Bytes(4096, 0x1B)},
        {"another folder's cache", serializeSearchCache(other, fresh)},
    };
    for (const Damage& damage : damages) {
        sample::writeFile(cacheFile(), damage.bytes);
        const CatalogueLoad loaded = load();
        EXPECT_EQ(loaded.cache, CacheUse::damaged) << damage.what;
        EXPECT_EQ(loaded.entries, fresh) << damage.what;
        EXPECT_TRUE(loaded.cacheWritten) << damage.what;
        EXPECT_EQ(sample::readFile(cacheFile()), good) << damage.what;
    }
}

TEST_F(CatalogueStore, WorksWithoutAWritableCache) {
    // A file where the cache folder should be: nothing can be written there.
    const fs::path blocked = cache.path() / "blocked";
    sample::writeFile(blocked, {1});
    const CatalogueLoad unwritable = load(blocked / "kdb2mid");
    EXPECT_FALSE(unwritable.cacheWritten);
    EXPECT_EQ(unwritable.entries.size(), 3U);

    const CatalogueLoad none = load(std::nullopt);
    EXPECT_EQ(none.cache, CacheUse::missing);
    EXPECT_FALSE(none.cacheWritten);
    EXPECT_EQ(none.entries, unwritable.entries);
}

TEST_F(CatalogueStore, SaysWhenNameFilesAreMissing) {
    EXPECT_TRUE(load().nameTablePresent);
    fs::remove(db.path() / "name.tab");
    const CatalogueLoad loaded = load();
    EXPECT_TRUE(loaded.nameIndexPresent);
    EXPECT_FALSE(loaded.nameTablePresent);
    EXPECT_EQ(loaded.cache, CacheUse::stale);
    EXPECT_EQ(loaded.entries[0].name, test::kVietnameseTitlesShown[0]);
}

TEST(SearchCacheFolder, FollowsXdgThenHome) {
    struct Case {
        const char* xdg;
        const char* home;
        std::optional<fs::path> folder;
    };
    const Case cases[] = {
        {"/x/cache", "/home/u", fs::path("/x/cache/kdb2mid")},
        {nullptr, "/home/u", fs::path("/home/u/.cache/kdb2mid")},
        {"", "/home/u", fs::path("/home/u/.cache/kdb2mid")},
        {"relative", "/home/u", fs::path("/home/u/.cache/kdb2mid")},
        {nullptr, nullptr, std::nullopt},
        {nullptr, "relative", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(searchCacheFolder(c.xdg, c.home), c.folder)
            << (c.xdg ? c.xdg : "unset") << " " << (c.home ? c.home : "unset");
    }
}

}  // namespace
}  // namespace kdb2mid
