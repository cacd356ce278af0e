#include "search/search_cache.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

#include "format/byte_order.hpp"
#include "format/utf8_text.hpp"

namespace kdb2mid {

namespace {

constexpr std::uint8_t kSearchCacheMagic[8] = {'k', 'd', 'b', '2', 's', 'r', 'c', 0x1A};
constexpr std::size_t kChecksumSize = 8;
// The smallest entry: song, empty name, no titles.
constexpr std::size_t kMinEntrySize = 4 + 2 + 1;
constexpr std::size_t kEntriesReservedAtOnce = 1 << 16;
constexpr std::size_t kMaxFolderBytes = std::numeric_limits<std::uint16_t>::max();

void appendBigEndian64(std::vector<std::uint8_t>& out, std::uint64_t value) {
    appendBigEndian32(out, static_cast<std::uint32_t>(value >> 32));
    appendBigEndian32(out, static_cast<std::uint32_t>(value));
}

void appendText(std::vector<std::uint8_t>& out, std::string_view text) {
    appendBigEndian16(out, static_cast<std::uint16_t>(text.size()));
    out.insert(out.end(), text.begin(), text.end());
}

bool storable(std::string_view text) {
    return text.size() <= kMaxCatalogueTextBytes && isPrintableUtf8(text);
}

// Reads fields front to back; any read past the end makes every later read
// fail too, so a parse checks ok() once per step that allocates or ends.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool ok() const noexcept { return ok_; }
    std::size_t remaining() const noexcept { return ok_ ? bytes_.size() - pos_ : 0; }

    std::span<const std::uint8_t> take(std::size_t count) {
        if (!ok_ || bytes_.size() - pos_ < count) {
            ok_ = false;
            return {};
        }
        const auto part = bytes_.subspan(pos_, count);
        pos_ += count;
        return part;
    }
    std::uint8_t u8() {
        const auto part = take(1);
        return part.empty() ? 0 : part[0];
    }
    std::uint16_t u16() {
        const auto part = take(2);
        return part.empty() ? 0 : readBigEndian16(part, 0);
    }
    std::uint32_t u32() {
        const auto part = take(4);
        return part.empty() ? 0 : readBigEndian32(part, 0);
    }
    std::uint64_t u64() {
        const std::uint64_t high = u32();
        return (high << 32) | u32();
    }
    // A length-prefixed text of at most maxBytes bytes.
    std::string_view text(std::size_t maxBytes) {
        const std::size_t length = u16();
        if (length > maxBytes) ok_ = false;
        const auto part = take(length);
        return {reinterpret_cast<const char*>(part.data()), part.size()};
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

}  // namespace

std::uint64_t fnv1a64(std::span<const std::uint8_t> bytes) noexcept {
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (const std::uint8_t byte : bytes) {
        hash ^= byte;
        hash *= 0x100000001B3ULL;
    }
    return hash;
}

std::string searchCacheFileName(std::string_view folder) {
    const std::uint64_t hash = fnv1a64(
        {reinterpret_cast<const std::uint8_t*>(folder.data()), folder.size()});
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name = "search-";
    for (int shift = 60; shift >= 0; shift -= 4) name += kHex[(hash >> shift) & 0xF];
    return name + ".cache";
}

std::vector<std::uint8_t> serializeSearchCache(const DatabaseIdentity& identity,
                                               std::span<const CatalogueEntry> entries) {
    if (identity.folder.size() > kMaxFolderBytes) return {};
    if (entries.size() > std::numeric_limits<std::uint32_t>::max()) return {};
    std::vector<std::uint8_t> out(std::begin(kSearchCacheMagic), std::end(kSearchCacheMagic));
    appendBigEndian32(out, kSearchCacheVersion);
    appendText(out, identity.folder);
    for (const FileStamp& file : identity.files) {
        out.push_back(file.present ? 1 : 0);
        appendBigEndian64(out, file.size);
        appendBigEndian64(out, static_cast<std::uint64_t>(file.modified));
    }
    appendBigEndian32(out, static_cast<std::uint32_t>(entries.size()));
    std::int64_t previous = std::numeric_limits<std::int64_t>::min();
    for (const CatalogueEntry& entry : entries) {
        if (entry.song <= previous || !storable(entry.name) ||
            entry.titles.size() > kMaxCatalogueTitles) {
            return {};
        }
        previous = entry.song;
        appendBigEndian32(out, static_cast<std::uint32_t>(entry.song));
        appendText(out, entry.name);
        out.push_back(static_cast<std::uint8_t>(entry.titles.size()));
        for (const std::string& title : entry.titles) {
            if (!storable(title)) return {};
            appendText(out, title);
        }
    }
    appendBigEndian64(out, fnv1a64(out));
    if (out.size() > kMaxSearchCacheBytes) return {};
    return out;
}

std::optional<SearchCache> parseSearchCache(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < sizeof kSearchCacheMagic + kChecksumSize) return std::nullopt;
    const auto body = bytes.first(bytes.size() - kChecksumSize);
    Reader checksum(bytes.last(kChecksumSize));
    if (checksum.u64() != fnv1a64(body)) return std::nullopt;

    Reader in(body);
    const auto magic = in.take(sizeof kSearchCacheMagic);
    if (!in.ok() || std::memcmp(magic.data(), kSearchCacheMagic, sizeof kSearchCacheMagic) != 0) {
        return std::nullopt;
    }
    if (in.u32() != kSearchCacheVersion) return std::nullopt;

    SearchCache cache;
    cache.identity.folder = in.text(kMaxFolderBytes);
    for (FileStamp& file : cache.identity.files) {
        const std::uint8_t present = in.u8();
        if (present > 1) return std::nullopt;
        file.present = present == 1;
        file.size = in.u64();
        file.modified = static_cast<std::int64_t>(in.u64());
    }
    const std::uint32_t count = in.u32();
    if (!in.ok() || count > in.remaining() / kMinEntrySize) return std::nullopt;
    // Room grows with the entries actually read, not with the count claimed.
    cache.entries.reserve(std::min<std::size_t>(count, kEntriesReservedAtOnce));
    std::int64_t previous = std::numeric_limits<std::int64_t>::min();
    for (std::uint32_t i = 0; i < count; ++i) {
        CatalogueEntry entry;
        entry.song = static_cast<std::int32_t>(in.u32());
        const std::string_view name = in.text(kMaxCatalogueTextBytes);
        const std::uint8_t titles = in.u8();
        if (!in.ok() || entry.song <= previous || titles > kMaxCatalogueTitles ||
            !isPrintableUtf8(name)) {
            return std::nullopt;
        }
        previous = entry.song;
        entry.name = name;
        for (std::uint8_t t = 0; t < titles; ++t) {
            const std::string_view title = in.text(kMaxCatalogueTextBytes);
            if (!in.ok() || !isPrintableUtf8(title)) return std::nullopt;
            entry.titles.emplace_back(title);
        }
        cache.entries.push_back(std::move(entry));
    }
    if (!in.ok() || in.remaining() != 0) return std::nullopt;
    return cache;
}

}  // namespace kdb2mid
