#include "generator/sample_names.hpp"

#include <optional>
#include <string>
#include <vector>

#include "format/byte_order.hpp"
#include "format/export_layout.hpp"

namespace kdb2mid::sample {

namespace {

// Stored names: capitals, a toned vowel as base letter + diacritic byte.
const std::vector<std::optional<std::string>> kSampleNames = {
    "TWINKLE TWINKLE LITTLE STAR",
    "ODE TO JOY",
    "FRERE JACQUES",
    // TRỐNG CƠM: Ố = O + C1 (circumflex and acute), Ơ = D4
    "TRO\xC1NG C\xD4M",
    // BÈO DẠT MÂY TRÔI: È = E + D8, Ạ = A + CF, Â = A + C2, Ô = O + C2
    "BE\xD8O DA\xCFT MA\xC2Y TRO\xC2I",
    std::nullopt,  // 50006: no name
};

// Each name is followed by one byte that belongs to no name.
constexpr std::uint8_t kNameSeparator = 0x00;

// Raw records of the older database; the extraction copies them unchanged, so
// they hold a readable line and every byte value.
Bytes legacyRecord(const std::string& title) {
    Bytes record(title.begin(), title.end());
    record.push_back('\n');
    for (int value = 0; value < 256; ++value) record.push_back(static_cast<std::uint8_t>(value));
    return record;
}

void appendEntriesUpTo(Bytes& index, std::int32_t song, std::uint32_t value) {
    const std::size_t size =
        std::size_t{kIndexEntrySize} * static_cast<std::size_t>(song - kFirstSongNumber);
    while (index.size() < size) appendBigEndian32(index, value);
}

}  // namespace

NameFiles buildSampleNames() {
    NameFiles files;
    appendEntriesUpTo(files.index, kFirstListedSong, 0);
    for (std::int32_t song = kFirstListedSong; song <= kLastListedSong; ++song) {
        const auto position = static_cast<std::size_t>(song - kFirstListedSong);
        appendBigEndian32(files.index, static_cast<std::uint32_t>(files.table.size()));
        const std::optional<std::string> name =
            position < kSampleNames.size() ? kSampleNames[position] : std::string();
        if (!name) continue;
        files.table.insert(files.table.end(), name->begin(), name->end());
        files.table.push_back(kNameSeparator);
    }
    appendBigEndian32(files.index, static_cast<std::uint32_t>(files.table.size()));
    return files;
}

LegacyFiles buildSampleLegacyDatabase() {
    LegacyFiles files;
    appendEntriesUpTo(files.index, 50001, 0);
    for (const char* title : {"Legacy record of song 50001: Twinkle, Twinkle, Little Star",
                              "Legacy record of song 50002: Ode to Joy"}) {
        appendBigEndian32(files.index, static_cast<std::uint32_t>(files.data.size()));
        const Bytes record = legacyRecord(title);
        files.data.insert(files.data.end(), record.begin(), record.end());
    }
    appendBigEndian32(files.index, static_cast<std::uint32_t>(files.data.size()));
    return files;
}

void writeSampleNamesAndLegacy(const std::filesystem::path& examplesDir) {
    const std::filesystem::path names = examplesDir / "sample-db";
    const std::filesystem::path legacy = examplesDir / "legacy-db" / kLegacyFolder;
    std::filesystem::create_directories(names);
    std::filesystem::create_directories(legacy);
    const NameFiles nameFiles = buildSampleNames();
    writeFile(names / kNameIndexFile, nameFiles.index);
    writeFile(names / kNameTableFile, nameFiles.table);
    const LegacyFiles legacyFiles = buildSampleLegacyDatabase();
    writeFile(legacy / kLegacyIndexFile, legacyFiles.index);
    writeFile(legacy / kLegacyDataFile, legacyFiles.data);
}

}  // namespace kdb2mid::sample
