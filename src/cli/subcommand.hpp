// What every subcommand's file shares: how it is run, the checks its
// arguments go through and the options several subcommands take. Each
// subcommand's file has an add...Command(command) that registers its
// options on the entry its row in cli/command_table.cpp made and returns
// how to run it once the arguments are parsed.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "convert/command_report.hpp"
#include "messages/command_help.hpp"

namespace kdb2mid {

// Runs a parsed command; its exit status.
using CommandRun = std::function<int()>;

// Arguments arrive as UTF-8 on every platform (main converts them on Windows).
std::filesystem::path pathFromArgument(const std::string& text);
// An argument kSongNumber has checked.
std::int32_t songFromArgument(const std::string& text);

// A song number (suggesting --range for "FROM-TO"), a range FROM-TO, a
// shard I/N, a --name pattern.
extern const CLI::Validator kSongNumber;
extern const CLI::Validator kSongRange;
extern const CLI::Validator kShard;
extern const CLI::Validator kNamePattern;

// -C,--database DBDIR and -o,--output OUTDIR (which must not name a file).
CLI::Option* addDatabaseOption(CLI::App& command, std::string& folder);
CLI::Option* addOutputOption(CLI::App& command, std::string& folder, const std::string& help);

// An export from the database files in DBDIR (-C) to one file in OUTDIR (-o),
// as `names` and `chorus-index` are: the command's footer and two folder
// options, running `run` on them.
using FolderExport = CommandReport (*)(const std::filesystem::path& folder,
                                       const std::filesystem::path& outFolder);
CommandRun addFolderExport(CLI::App& command, const std::string& footer, const char* outputHelp,
                           FolderExport run);

// Prints what a command reports; its exit status.
int printReport(const CommandReport& report);

// "kdb2mid <command>: <message>" and where to read more, on standard error
// ("kdb2mid: <message>" for the program itself); kExitUsage.
int usageError(const CLI::App& command, const std::string& message);
int usageError(std::string_view command, const std::string& message);

}  // namespace kdb2mid
