#include "search/catalogue.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <limits>
#include <new>
#include <thread>

#include "format/display_text.hpp"
#include "format/name_index.hpp"
#include "format/database_layout.hpp"
#include "format/export_layout.hpp"
#include "io/file_io.hpp"
#include "format/utf8_text.hpp"

namespace kdb2mid {

namespace {

constexpr unsigned kMaxThreads = 8;
// Songs a thread takes at a time: large enough that threads rarely meet at
// the counter, small enough that they finish together.
constexpr std::size_t kSongsPerClaim = 64;

std::string_view trimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The part of name.idx that covers songs first .. first + count (one entry
// past the last, which ends its name); less when the file is shorter.
std::vector<std::uint8_t> readNameIndex(const RandomAccessFile& file, std::int32_t first,
                                        std::int32_t count) {
    const std::optional<std::uint64_t> start = songIndexOffset(first);
    if (!file.isOpen() || !start || count <= 0) return {};
    const std::uint64_t end = std::min<std::uint64_t>(
        file.size(), *start + kIndexEntrySize * (static_cast<std::uint64_t>(count) + 1));
    if (end <= *start || end > std::numeric_limits<std::size_t>::max()) return {};
    // Held from byte 0 so that locateName's offsets apply as they are.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(end));
    if (!file.readAt(*start, std::span(bytes).subspan(static_cast<std::size_t>(*start)))) return {};
    return bytes;
}

// The byte after a title's NUL that ends the title list.
constexpr std::uint8_t kTitleListEnd = 0x20;

struct Listing {
    std::int32_t song;
    RecordLookup where;
};

}  // namespace

std::string catalogueText(std::span<const std::uint8_t> stored) {
    const std::string shown = displayText(stored);
    return std::string(utf8Prefix(trimSpaces(shown), kMaxCatalogueTextBytes));
}

void readTitles(std::span<const std::uint8_t> image, const TrackOffsetTable& table,
                std::size_t maxTitles, std::vector<TextRef>& titles) {
    titles.clear();
    const std::size_t end = image.size();
    std::size_t p = std::size_t{table.entries[table.entries.size() - 2]} + 1;
    std::size_t start = p;
    while (p < end && titles.size() < maxTitles) {
        if (image[p] != 0) {
            ++p;
            continue;
        }
        titles.push_back(
            {static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(p - start)});
        ++p;
        if (p == end || image[p] == kTitleListEnd) break;
        ++p;  // the separator byte
        start = p;
    }
}

CatalogueEntry makeCatalogueEntry(std::int32_t song, std::span<const std::uint8_t> storedName,
                                  std::span<const std::uint8_t> record, DecodedSong& work,
                                  CatalogueTextRule text) {
    CatalogueEntry entry;
    entry.song = song;
    entry.name = text(storedName);
    if (!record.empty() && decodeSongImage(record, work) == RecordError::none) {
        const std::span<const std::uint8_t> image = work.image.bytes();
        readTitles(image, work.table, kMaxCatalogueTitles, work.lyrics.titles);
        for (const TextRef& title : work.lyrics.titles) {
            std::string shown = text(textBytes(image, title));
            if (!shown.empty()) entry.titles.push_back(std::move(shown));
        }
    }
    if (entry.name.empty() && !entry.titles.empty()) entry.name = entry.titles.front();
    return entry;
}

std::vector<CatalogueEntry> buildCatalogue(const SongDatabase& database, unsigned threads,
                                           CatalogueTextRule text) {
    using Outcome = RecordLookup::Outcome;
    const std::int32_t first = database.firstSong();
    const std::int32_t count = database.songCount();
    std::vector<Listing> listed;
    IndexBlock index;  // SONG.IDX read a block at a time
    for (std::int32_t i = 0; i < count; ++i) {
        const RecordLookup where = database.locate(first + i, index);
        if (where.outcome == Outcome::found || where.outcome == Outcome::pastDataEnd) {
            listed.push_back({first + i, where});
        }
    }

    RandomAccessFile nameIndexFile;
    RandomAccessFile nameTable;
    nameIndexFile.open(database.folder() / kNameIndexFile);
    nameTable.open(database.folder() / kNameTableFile);
    std::vector<std::uint8_t> nameIndex;
    try {
        nameIndex = readNameIndex(nameIndexFile, first, count);
    } catch (const std::bad_alloc&) {
        nameIndex.clear();  // listed without names, as if name.idx were missing
    }

    std::vector<CatalogueEntry> entries(listed.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        DecodedSong workspace;
        std::vector<std::uint8_t> record;
        std::vector<std::uint8_t> name;
        for (;;) {
            const std::size_t begin = next.fetch_add(kSongsPerClaim);
            if (begin >= listed.size()) return;
            const std::size_t end = std::min(listed.size(), begin + kSongsPerClaim);
            for (std::size_t i = begin; i < end; ++i) {
                const Listing& song = listed[i];
                entries[i].song = song.song;
                try {
                    name.clear();
                    const auto at = locateName(nameIndex, song.song, nameTable.size());
                    if (at && nameTable.isOpen() && at->length <= kMaxNameBytes) {
                        name.resize(static_cast<std::size_t>(at->length));
                        if (!nameTable.readAt(at->offset, name)) name.clear();
                    }
                    record.clear();
                    if (song.where.outcome != Outcome::found ||
                        !database.readRecord(song.where, record)) {
                        record.clear();
                    }
                    entries[i] = makeCatalogueEntry(song.song, name, record, workspace, text);
                } catch (const std::exception&) {
                    // A record too large to hold: the song is listed without titles.
                    entries[i] = CatalogueEntry{song.song, {}, {}};
                    record = {};
                }
            }
        }
    };

    if (threads == 0) threads = std::clamp(std::thread::hardware_concurrency(), 1U, kMaxThreads);
    threads = static_cast<unsigned>(
        std::min<std::size_t>(threads, (listed.size() + kSongsPerClaim - 1) / kSongsPerClaim));
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) {
        try {
            pool.emplace_back(work);
        } catch (const std::exception&) {
            break;  // fewer threads than asked: the others take more songs
        }
    }
    work();
    for (std::thread& thread : pool) thread.join();
    return entries;
}

}  // namespace kdb2mid
