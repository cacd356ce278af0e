#include "inspect/song_list.hpp"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

#include "format/database_layout.hpp"
#include "format/display_text.hpp"
#include "format/decoded_song.hpp"
#include "format/export_layout.hpp"
#include "format/name_index.hpp"
#include "format/vni_text.hpp"
#include "io/interruption.hpp"
#include "messages/messages.hpp"
#include "messages/songbook_messages.hpp"
#include "search/catalogue.hpp"

namespace kdb2mid {

namespace {

// name.idx (4 bytes per song, like SONG.IDX) read a block at a time as the
// list goes through the songs in order, so its size does not decide the
// list's memory.
class NameEntries {
public:
    explicit NameEntries(const RandomAccessFile& file) : file_(file) {}

    // The song's entry and the next, or nothing when name.idx does not hold
    // them (or does not open).
    std::optional<std::span<const std::uint8_t, 8>> pairFor(std::int32_t songNumber) {
        constexpr std::uint64_t kPair = 2 * kIndexEntrySize;
        const std::optional<std::uint64_t> at = songIndexOffset(songNumber);
        if (!at || !file_.isOpen() || *at > file_.size() || file_.size() - *at < kPair) {
            return std::nullopt;
        }
        if (*at < start_ || *at - start_ > bytes_.size() || bytes_.size() - (*at - start_) < kPair) {
            bytes_.resize(static_cast<std::size_t>(
                std::min<std::uint64_t>(kBlock, file_.size() - *at)));
            start_ = *at;
            if (!file_.readAt(*at, bytes_)) {
                bytes_.clear();
                return std::nullopt;
            }
        }
        return std::span<const std::uint8_t, 8>(bytes_.data() + (*at - start_), kPair);
    }

private:
    static constexpr std::uint64_t kBlock = std::uint64_t{64} << 10;
    const RandomAccessFile& file_;
    std::vector<std::uint8_t> bytes_;
    std::uint64_t start_ = 0;
};

// The stored bytes of the first title of a song's record that holds more
// than spaces, inside work's image; empty when there is none or the record
// does not decode. Only the titles are read, as search reads them.
std::span<const std::uint8_t> firstTitle(std::span<const std::uint8_t> record,
                                         DecodedSong& work) {
    if (record.empty() || decodeSongImage(record, work) != RecordError::none) return {};
    readTitles(work.imageBytes(), work.table, kMaxCatalogueTitles, work.lyrics.titles);
    for (const TextRef& title : work.lyrics.titles) {
        if (!catalogueText(work.text(title)).empty()) return work.text(title);
    }
    return {};
}

}  // namespace

void listSongs(const SongDatabase& database, const RandomAccessFile& nameIndex,
               const RandomAccessFile& nameTable, const std::function<void(const ListedSong&)>& each) {
    NameEntries nameEntries(nameIndex);

    std::vector<std::uint8_t> name;
    std::vector<std::uint8_t> record;
    DecodedSong work;
    IndexBlock index;
    const std::int32_t first = database.firstSong();
    for (std::int32_t i = 0; i < database.songCount() && !interrupted(); ++i) {
        const std::int32_t song = first + i;
        const RecordLookup where = database.locate(song, index);
        // A record that runs past SONG.DAT's end, or is too large, is still
        // listed: converting it says what is wrong with it.
        if (where.outcome != RecordLookup::Outcome::found &&
            where.outcome != RecordLookup::Outcome::pastDataEnd &&
            where.outcome != RecordLookup::Outcome::tooLarge) {
            continue;
        }
        name.clear();
        const auto entries = nameEntries.pairFor(song);
        const auto at = entries ? nameAt(*entries, nameTable.size()) : std::nullopt;
        // A name longer than kMaxNameBytes comes from damaged entries: it is
        // left out unread.
        if (at && nameTable.isOpen() && at->length <= kMaxNameBytes) {
            name.resize(static_cast<std::size_t>(at->length));
            if (!nameTable.readAt(at->offset, name)) name.clear();
        }
        std::span<const std::uint8_t> stored = name;
        const bool named = !catalogueText(name).empty();
        if (!named) {
            record.clear();
            try {
                if (where.outcome != RecordLookup::Outcome::found ||
                    !database.readRecord(where, record)) {
                    record.clear();
                }
            } catch (const std::bad_alloc&) {
                record = {};  // too large to hold: listed without a name
            }
            stored = firstTitle(record, work);
        }
        each({song, stored, named});
    }
}

void openNameFiles(const std::filesystem::path& folder, NameFiles& files) {
    const bool indexPresent = files.index.open(folder / kNameIndexFile);
    const bool tablePresent = files.table.open(folder / kNameTableFile);
    for (auto [file, name] :
         {std::pair{&files.index, kNameIndexFile}, std::pair{&files.table, kNameTableFile}}) {
        if (file->notRegularFile()) {
            files.notices.push_back(notRegularFile(name));
            files.refused = true;
        }
    }
    if (!indexPresent || !tablePresent) {
        files.notices.push_back(songNamesMissing(folder, indexPresent, tablePresent));
    }
}

std::string formatListLine(std::int32_t songNumber, std::span<const std::uint8_t> storedName) {
    return std::to_string(songNumber) + "\t" + displayText(storedName);
}

namespace {

std::string_view trimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

bool listDatabase(const std::filesystem::path& folder, OutputForm form,
                  const TitleSort& sortTitles, const MessageSink& out) {
    SongDatabase database;
    if (const auto error = database.open(folder); error != SongDatabase::OpenError::none) {
        out.error(databaseOpenFailure(error, folder));
        return false;
    }
    NameFiles names;
    openNameFiles(folder, names);
    for (const std::string& notice : names.notices) out.error(notice);
    // Sorted, the lines are held until every name is known; by number each
    // goes out as it comes.
    std::vector<std::string> lines;
    std::vector<std::string> sortNames;
    listSongs(database, names.index, names.table, [&](const ListedSong& listed) {
        const std::string name(trimSpaces(decodeVniToUtf8(listed.name)));
        std::string line;
        if (form == OutputForm::json) {
            line = listJson(listed.song, name);
        } else if (listed.fromNameTable) {
            line = formatListLine(listed.song, listed.name);
        } else {
            // The title as search shows it.
            line = std::to_string(listed.song) + "\t" + catalogueText(listed.name);
        }
        if (!sortTitles) {
            out.line(line);
            return;
        }
        lines.push_back(std::move(line));
        sortNames.push_back(name);
    });
    if (sortTitles) {
        std::vector<std::size_t> sorted;
        if (!sortTitles(sortNames, sorted)) {
            out.error(kBookNoCollation);
            return false;
        }
        for (const std::size_t at : sorted) out.line(lines[at]);
    }
    return !names.refused;
}

}  // namespace kdb2mid
