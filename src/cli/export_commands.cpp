#include "cli/export_commands.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <initializer_list>
#include <utility>
#include <string>
#include <vector>

#include "export/chorus_index_dump.hpp"
#include "export/legacy_record.hpp"
#include "export/song_names.hpp"
#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "convert/convert_song.hpp"
#include "format/export_layout.hpp"
#include "io/file_io.hpp"
#include "io/interruption.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

// CRS&TCK.IDX is dumped in blocks of whole entries, so that its size does not
// decide how much memory the dump takes.
constexpr std::size_t kChorusIndexBlock = 4096 * 12;

// Writes bytes as the file path, complete or not at all; prints the failure line.
bool writeWhole(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    AtomicOutputFile out;
    bool written = out.open(path);
    if (written) {
        out.write(bytes);
        written = out.commit();
    }
    if (!written) printLine(outputFailure(path, out.failure()));
    return written;
}

// Opens an input; when it does not open, prints the line users know on
// standard output and which file and why on standard error.
bool openInput(RandomAccessFile& file, const std::filesystem::path& path) {
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
    printLine(kCannotOpenInput);
    // A FIFO or device there is refused before it could block the run.
    const bool special = file.notRegularFile() && error != EISDIR;
    printError(special ? notRegularFile(displayName(path)) : cannotOpenInput(path, error));
    return false;
}

// Creates the folder the export writes into, as convert does; false after
// printing why it could not be.
bool outputFolderReady(const std::filesystem::path& outFolder) {
    const int error = createFolder(outFolder);
    if (error != 0) printLine(cannotCreateFolder(outFolder, error));
    return error == 0;
}

}  // namespace

int runNamesCommand(const std::filesystem::path& folder, const std::filesystem::path& outFolder) {
    RandomAccessFile table;
    RandomAccessFile index;
    if (!openInput(table, outputPath(folder, kNameTableFile)) ||
        !openInput(index, outputPath(folder, kNameIndexFile))) {
        return kExitFailure;
    }
    if (!outputFolderReady(outFolder)) return kExitFailure;
    removeStaleTemporaries(outFolder);

    // Only the listed songs' entries, whole ones, and only the part of name.tab
    // they point into: name.idx spans every song number from the first one.
    const std::uint64_t available =
        index.size() > kNameIndexStart ? index.size() - kNameIndexStart : 0;
    std::vector<std::uint8_t> entries(static_cast<std::size_t>(
        std::min(available, kNameIndexBytesRead) / kIndexEntrySize * kIndexEntrySize));
    if (!entries.empty() && !index.readAt(kNameIndexStart, entries)) {
        printLine(cannotRead(kNameIndexFile));
        return kExitFailure;
    }
    // Only the names that can be exported are read, not what damaged entries
    // span between them.
    const std::vector<NameTableRange> parts = nameTableRanges(entries, table.size());
    std::vector<std::vector<std::uint8_t>> names(parts.size());
    std::vector<NameTableWindow> windows;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        names[i].resize(static_cast<std::size_t>(parts[i].end - parts[i].first));
        if (!table.readAt(parts[i].first, names[i])) {
            printLine(cannotRead(kNameTableFile));
            return kExitFailure;
        }
        windows.push_back({parts[i].first, names[i]});
    }

    const SongNameList list = exportSongNames(entries, windows, table.size());
    bool failed = false;
    for (const SongNameNotice& notice : list.notices) {
        printLine(songNameNotice(notice));
        failed = failed || isFailure(notice);
    }
    // Without a single line there is nothing to replace an earlier list with.
    if (!list.text.empty() && !writeWhole(outputPath(outFolder, kSongNamesFile), list.text)) {
        failed = true;
    }
    return failed ? kExitFailure : kExitSuccess;
}

int runChorusIndexCommand(const std::filesystem::path& folder,
                          const std::filesystem::path& outFolder) {
    RandomAccessFile index;
    if (!openInput(index, outputPath(folder, kChorusIndexFile))) return kExitFailure;
    if (!outputFolderReady(outFolder)) return kExitFailure;
    removeStaleTemporaries(outFolder);
    const std::filesystem::path path = outputPath(outFolder, kChorusIndexTextFile);
    AtomicOutputFile out;
    if (!out.open(path)) {
        printLine(outputFailure(path, out.failure()));
        return kExitFailure;
    }
    std::vector<std::uint8_t> block;
    std::string text;
    for (std::uint64_t at = 0; at < index.size() && !interrupted();) {
        block.resize(static_cast<std::size_t>(
            std::min<std::uint64_t>(kChorusIndexBlock, index.size() - at)));
        if (!index.readAt(at, block)) {
            printLine(cannotRead(kChorusIndexFile));
            return kExitFailure;
        }
        text.clear();
        dumpChorusIndex(block, kTextLineEnd, text);
        out.write(text);
        at += block.size();
    }
    if (!out.commit()) {
        printLine(outputFailure(path, out.failure()));
        return kExitFailure;
    }
    return kExitSuccess;
}

int runLegacyCommand(std::int32_t songNumber, const std::filesystem::path& root,
                     const std::filesystem::path& outFolder) {
    const std::filesystem::path database = outputPath(root, kLegacyFolder);
    RandomAccessFile data;
    RandomAccessFile index;
    if (!openInput(data, database / kLegacyDataFile) ||
        !openInput(index, database / kLegacyIndexFile)) {
        return kExitFailure;
    }
    if (!outputFolderReady(outFolder)) return kExitFailure;
    removeStaleTemporaries(outFolder);
    const LegacyRecordLocation where = locateLegacyRecord(songNumber, index, data.size());
    if (where.outcome != LegacyRecordLocation::Outcome::found) {
        printLine(cannotExtract(songNumber, describe(where.outcome)));
        return kExitFailure;
    }

    const std::filesystem::path path = outputPath(outFolder, legacyRecordFileName(songNumber));
    AtomicOutputFile out;
    if (!out.open(path)) {
        printLine(outputFailure(path, out.failure()));
        return kExitFailure;
    }
    std::vector<std::uint8_t> buffer;
    if (!extractLegacyRecord(data, where, out, buffer)) {
        printLine(cannotExtract(songNumber, couldNotRead(kLegacyDataFile)));
        return kExitFailure;
    }
    if (!out.commit()) {
        printLine(outputFailure(path, out.failure()));
        return kExitFailure;
    }
    return kExitSuccess;
}

std::filesystem::path defaultLegacyRoot() {
#ifdef _WIN32
    return "C:\\music\\midi\\pro";
#else
    return {};
#endif
}

}  // namespace kdb2mid
