#include "cli/subcommand.hpp"

#include <iostream>
#include <memory>
#include <optional>
#include <system_error>
#include <utility>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "convert/file_names.hpp"
#include "convert/song_plan.hpp"

namespace kdb2mid {

std::filesystem::path pathFromArgument(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::int32_t songFromArgument(const std::string& text) {
    return parseSongArgument(text).value_or(0);
}

const CLI::Validator kSongNumber(
    [](const std::string& text) {
        if (parseSongArgument(text)) return std::string{};
        if (const auto ends = songRangeEnds(text); ends && ends->first <= ends->last) {
            return help::notSongNumberButRange(text, ends->first, ends->last);
        }
        return help::notSongNumber(text);
    },
    "");

const CLI::Validator kSongRange(
    [](const std::string& text) {
        if (parseSongRange(text)) return std::string{};
        if (const auto ends = songRangeEnds(text)) {
            return help::rangeReversed(text, ends->first, ends->last);
        }
        return help::notSongRange(text);
    },
    "");

const CLI::Validator kShard(
    [](const std::string& text) {
        return parseShard(text) || parseAutoShard(text) ? std::string{} : help::notShard(text);
    },
    "");

const CLI::Validator kNamePattern(
    [](const std::string& text) { return checkNamePattern(text).value_or(std::string{}); }, "");

namespace {

// An output folder that is there already must be a folder.
const CLI::Validator kOutputFolder(
    [](const std::string& text) {
        std::error_code error;
        const std::filesystem::path path = pathFromArgument(text);
        if (std::filesystem::exists(path, error) && !std::filesystem::is_directory(path, error)) {
            return help::outputIsFile(text);
        }
        return std::string{};
    },
    "");

}  // namespace

CLI::Option* addDatabaseOption(CLI::App& command, std::string& folder) {
    return command.add_option("-C,--database", folder, help::kDatabase)->type_name("DBDIR");
}

CLI::Option* addOutputOption(CLI::App& command, std::string& folder, const std::string& help) {
    return command.add_option("-o,--output", folder, help)->type_name("OUTDIR")->check(kOutputFolder);
}

CommandRun addFolderExport(CLI::App& command, const std::string& footer, const char* outputHelp,
                           FolderExport run) {
    auto folders = std::make_shared<std::pair<std::string, std::string>>();
    command.footer(footer + help::kExitStatuses);
    addDatabaseOption(command, folders->first);
    addOutputOption(command, folders->second, outputHelp);
    return [folders, run] {
        return printReport(run(pathFromArgument(folders->first), pathFromArgument(folders->second)));
    };
}

int usageError(std::string_view command, const std::string& message) {
    std::cerr << help::usagePrefix(command) << message << help::kRunWithHelp;
    return kExitUsage;
}

int usageError(const CLI::App& command, const std::string& message) {
    // The program itself has no command name before its usage errors.
    return usageError(command.get_parent() == nullptr ? "" : command.get_name(), message);
}

int printReport(const CommandReport& report) {
    for (const std::string& line : report.lines) printLine(line);
    for (const std::string& line : report.errors) printError(line);
    return report.failed ? kExitFailure : kExitSuccess;
}

}  // namespace kdb2mid
