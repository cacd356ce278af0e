#include "convert/command_line.hpp"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>

#include "convert/convert_song.hpp"
#include "export/export_commands.hpp"

namespace kdb2mid {

namespace {

void printLine(const std::string& line) {
    std::fputs(line.c_str(), stdout);
    std::fputc('\n', stdout);
}

const char* openErrorMessage(SongDatabase::OpenError error) {
    return error == SongDatabase::OpenError::songIndex ? "Cannot open SONG.IDX"
                                                       : "Cannot open SONG.DAT";
}

constexpr const char* kUsage =
    "usage: kdb2mid SONG   (a song number, e.g. kdb2mid 21090)\n"
    "       kdb2mid names\n"
    "       kdb2mid chorus-index\n"
    "       kdb2mid legacy SONG [--root DIR]";

int usageError() {
    std::fprintf(stderr, "%s\n", kUsage);
    return kExitUsage;
}

// The auxiliary exports, recognised only as the first argument. Returns
// nothing when args[1] names none of them.
std::optional<int> runExportCommand(std::span<const char* const> args) {
    const std::string_view command = args[1];
    if (command == "names" || command == "chorus-index") {
        if (args.size() != 2) return usageError();
        return command == "names" ? runNamesCommand({}) : runChorusIndexCommand({});
    }
    if (command != "legacy") return std::nullopt;
    if (args.size() != 3 && !(args.size() == 5 && std::string_view(args[3]) == "--root")) {
        return usageError();
    }
    const std::filesystem::path root = args.size() == 5 ? args[4] : defaultLegacyRoot();
    return runLegacyCommand(parseSongNumber(args[2]), root);
}

}  // namespace

std::int32_t parseSongNumber(std::string_view text) noexcept {
    std::size_t i = 0;
    auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    while (i < text.size() && isSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + (text[i] - '0'), limit);
    }
    if (negative) value = -value;
    return static_cast<std::int32_t>(
        std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max()));
}

int runSingleSong(std::int32_t songNumber) {
    SongDatabase database;
    if (const auto error = database.open({}); error != SongDatabase::OpenError::none) {
        printLine(openErrorMessage(error));
        return kExitFailure;
    }
    ConvertWorkspace work;
    const SongResult result = convertSong(database, songNumber, {}, ConvertOptions{}, work);
    for (const std::string& line : result.messages) printLine(line);
    return result.outcome == SongResult::Outcome::converted ? kExitSuccess : kExitFailure;
}

int runCommandLine(std::span<const char* const> args) {
    if (args.size() < 2) return usageError();
    if (const std::optional<int> status = runExportCommand(args)) return *status;
    return runSingleSong(parseSongNumber(args[1]));
}

}  // namespace kdb2mid
