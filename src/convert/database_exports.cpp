#include "convert/database_exports.hpp"

#include <algorithm>
#include <cerrno>
#include <span>
#include <system_error>

#include "convert/convert_song.hpp"
#include "export/chorus_index_dump.hpp"
#include "export/legacy_record.hpp"
#include "export/song_names.hpp"
#include "format/export_layout.hpp"
#include "io/file_io.hpp"
#include "io/interruption.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

// CRS&TCK.IDX is dumped in blocks of whole entries, so that its size does not
// decide how much memory the dump takes.
constexpr std::size_t kChorusIndexBlock = 4096 * 12;

CommandReport failure(std::string line) { return {{std::move(line)}, {}, true}; }

// Commits out as path; false after adding the failure line to report.
bool committed(AtomicOutputFile& out, const std::filesystem::path& path, CommandReport& report) {
    if (out.commit()) return true;
    report.lines.push_back(outputFailure(path, out.failure()));
    report.failed = true;
    return false;
}

// Opens the database file name in folder (the current folder when empty);
// when it does not open, adds the line users know and, for standard error,
// which file and why.
bool openInput(RandomAccessFile& file, const std::filesystem::path& folder,
               const std::filesystem::path& name, CommandReport& report) {
    const std::filesystem::path path = folder.empty() ? name : folder / name;
    errno = 0;
    if (file.open(path)) return true;
    int error = errno;
    std::error_code status;
    // A folder or device opens but is refused as an input: errno does not say why.
    if (std::filesystem::is_directory(path, status)) {
        error = EISDIR;
    } else if (std::filesystem::exists(path, status) &&
               !std::filesystem::is_regular_file(path, status)) {
        error = EINVAL;
    }
    report.lines.emplace_back(kCannotOpenInput);
    // A FIFO or device there is refused before it could block the run.
    const bool special = file.notRegularFile() && error != EISDIR;
    if (special) {
        report.errors.push_back(notRegularFile(displayName(path)));
    } else if (folder.empty() && error == ENOENT) {
        report.errors.push_back(databaseFileMissing(path));
    } else {
        report.errors.push_back(cannotOpenInput(path, error));
    }
    report.failed = true;
    return false;
}

// Creates the folder the export writes into, as convert does, and clears what
// an earlier run killed while writing there left; false after saying why the
// folder could not be made.
bool outputFolderReady(const std::filesystem::path& outFolder, CommandReport& report) {
    const int error = createFolder(outFolder);
    if (error != 0) {
        report.lines.push_back(cannotCreateFolder(outFolder, error));
        report.failed = true;
        return false;
    }
    removeStaleTemporaries(outFolder);
    return true;
}

}  // namespace

CommandReport writeSongNameList(const std::filesystem::path& folder,
                               const std::filesystem::path& outFolder) {
    CommandReport report;
    RandomAccessFile table;
    RandomAccessFile index;
    if (!openInput(table, folder, kNameTableFile, report) ||
        !openInput(index, folder, kNameIndexFile, report) ||
        !outputFolderReady(outFolder, report)) {
        return report;
    }

    // Only the listed songs' entries, whole ones, and only the part of name.tab
    // they point into: name.idx spans every song number from the first one.
    const std::uint64_t available =
        index.size() > kNameIndexStart ? index.size() - kNameIndexStart : 0;
    std::vector<std::uint8_t> entries(static_cast<std::size_t>(
        std::min(available, kNameIndexBytesRead) / kIndexEntrySize * kIndexEntrySize));
    if (!entries.empty() && !index.readAt(kNameIndexStart, entries)) {
        return failure(cannotRead(kNameIndexFile));
    }
    // Only the names that can be exported are read, not what damaged entries
    // span between them.
    const std::vector<NameTableRange> parts = nameTableRanges(entries, table.size());
    std::vector<std::vector<std::uint8_t>> names(parts.size());
    std::vector<NameTableWindow> windows;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        names[i].resize(static_cast<std::size_t>(parts[i].end - parts[i].first));
        if (!table.readAt(parts[i].first, names[i])) return failure(cannotRead(kNameTableFile));
        windows.push_back({parts[i].first, names[i]});
    }

    const SongNameList list = exportSongNames(entries, windows, table.size());
    for (const SongNameNotice& notice : list.notices) {
        report.lines.push_back(songNameNotice(notice));
        report.failed = report.failed || isFailure(notice);
    }
    // Without a single line there is nothing to replace an earlier list with.
    if (!list.text.empty()) {
        const std::filesystem::path path = outputPath(outFolder, kSongNamesFile);
        AtomicOutputFile out;
        if (out.open(path)) out.write(list.text);
        committed(out, path, report);
    }
    return report;
}

CommandReport writeChorusIndexText(const std::filesystem::path& folder,
                                  const std::filesystem::path& outFolder) {
    CommandReport report;
    RandomAccessFile index;
    if (!openInput(index, folder, kChorusIndexFile, report) ||
        !outputFolderReady(outFolder, report)) {
        return report;
    }
    const std::filesystem::path path = outputPath(outFolder, kChorusIndexTextFile);
    AtomicOutputFile out;
    if (!out.open(path)) return failure(outputFailure(path, out.failure()));
    std::vector<std::uint8_t> block;
    std::string text;
    for (std::uint64_t at = 0; at < index.size() && !interrupted();) {
        block.resize(static_cast<std::size_t>(
            std::min<std::uint64_t>(kChorusIndexBlock, index.size() - at)));
        if (!index.readAt(at, block)) return failure(cannotRead(kChorusIndexFile));
        text.clear();
        dumpChorusIndex(block, kTextLineEnd, text);
        out.write(text);
        at += block.size();
    }
    committed(out, path, report);
    return report;
}

CommandReport writeLegacyRecord(std::int32_t songNumber, const std::filesystem::path& root,
                               const std::filesystem::path& outFolder) {
    CommandReport report;
    const std::filesystem::path database = kLegacyFolder;
    RandomAccessFile data;
    RandomAccessFile index;
    if (!openInput(data, root, database / kLegacyDataFile, report) ||
        !openInput(index, root, database / kLegacyIndexFile, report) ||
        !outputFolderReady(outFolder, report)) {
        return report;
    }
    const LegacyRecordLocation where = locateLegacyRecord(songNumber, index, data.size());
    if (where.outcome != LegacyRecordLocation::Outcome::found) {
        return failure(cannotExtract(songNumber, describeLegacy(where.outcome)));
    }

    const std::filesystem::path path = outputPath(outFolder, legacyRecordFileName(songNumber));
    AtomicOutputFile out;
    if (!out.open(path)) return failure(outputFailure(path, out.failure()));
    std::vector<std::uint8_t> buffer;
    if (!extractLegacyRecord(data, where, out, buffer)) {
        return failure(cannotExtract(songNumber, couldNotRead(kLegacyDataFile)));
    }
    committed(out, path, report);
    return report;
}

std::filesystem::path defaultLegacyRoot() {
#ifdef _WIN32
    return "C:\\music\\midi\\pro";
#else
    return {};
#endif
}

}  // namespace kdb2mid
