#include "cli/command_line.hpp"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/command_table.hpp"
#include "cli/console.hpp"
#include "cli/subcommand.hpp"
#include "convert/convert_run.hpp"
#include "convert/song_plan.hpp"
#include "messages/messages.hpp"
#include "search/nearest_word.hpp"

#ifndef KDB2MID_VERSION
#define KDB2MID_VERSION "unknown"
#endif

namespace kdb2mid {

namespace {

std::vector<std::string_view> commandNames() {
    std::vector<std::string_view> names;
    for (const CommandRow& row : commandTable()) names.push_back(row.name);
    return names;
}

std::string usageText() {
    std::string commands;
    for (const CommandRow& row : commandTable()) {
        commands += (commands.empty() ? "" : "|") + std::string(row.name);
    }
    return help::usage(commands);
}

bool hasDigit(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// `kdb2mid SONG` takes the song number alone; anything after it (an option,
// an output folder, more songs) was silently ignored before. Shows the
// convert command that does what was asked.
int refuseBareFormExtras(std::span<const char* const> args) {
    const std::vector<std::string_view> typed(args.begin() + 1, args.end());
    std::fprintf(stderr, "%s\n", help::bareFormExtras(typed).c_str());
    return kExitUsage;
}

// A first argument without a digit is no song number: most likely a
// mistyped command.
int refuseUnknownCommand(std::string_view typed) {
    const std::string line = help::unknownCommand(
        typed, nearestWord(typed, commandNames()).value_or(std::string_view{}));
    std::fprintf(stderr, "%s\n%s\n", line.c_str(), usageText().c_str());
    return kExitUsage;
}

bool isSingleSongForm(std::string_view first) {
    const std::vector<std::string_view> names = commandNames();
    if (std::find(names.begin(), names.end(), first) != names.end()) return false;
    // "-x" and "--xyz" are options; "-5", "-" and " 21090" stay song numbers
    // read as they always were.
    return !(first.size() >= 2 && first[0] == '-' && !(first[1] >= '0' && first[1] <= '9'));
}

// Help without CLI11's notes that repeat what the descriptions say ("SONG
// SONG REQUIRED", "Excludes: ..."): an option shows its value's name, a
// positional its name and "..." when it takes several.
class HelpFormatter final : public CLI::Formatter {
public:
    std::string make_option_opts(const CLI::Option* option) const override {
        if (!option->nonpositional()) return option->get_expected_max() > 1 ? " ..." : "";
        if (option->get_type_size() == 0 || option->get_type_name().empty()) return {};
        return " " + option->get_type_name();
    }
};

// A command of the table, registered in the parser, and how to run it.
struct Subcommand {
    CLI::App* command = nullptr;
    CommandRun run;
};

// The whole parser: every row of the command table with its options.
struct Parser {
    CLI::App app{help::kProgram, "kdb2mid"};
    std::vector<Subcommand> subcommands;

    Parser() {
        app.allow_windows_style_options(false);
        app.require_subcommand(1);
        app.set_version_flag("--version", help::versionLine(KDB2MID_VERSION));
        // Subcommands take the formatter and footer the app has when they are added.
        app.formatter(std::make_shared<HelpFormatter>());
        app.footer(help::kExitStatuses);
        for (const CommandRow& row : commandTable()) {
            CLI::App* command = app.add_subcommand(std::string(row.name), row.summary);
            subcommands.push_back({command, row.add(*command)});
        }
        // The bare form is described once, in the top-level help.
        app.footer(std::string(help::kBareForm) + help::kExitStatuses);
    }
};

// What the bash completion asks, so that its lists follow the table:
// `kdb2mid --list-commands` prints the commands, `kdb2mid --list-options
// COMMAND` that command's options, one a line. Not shown in --help.
std::optional<int> printCompletionList(std::span<const char* const> args) {
    const std::string_view first = args[1];
    if (first == "--list-commands" && args.size() == 2) {
        for (const CommandRow& row : commandTable()) printLine(std::string(row.name));
        return kExitSuccess;
    }
    if (first != "--list-options" || args.size() != 3) return std::nullopt;
    const Parser parser;
    for (const Subcommand& subcommand : parser.subcommands) {
        if (subcommand.command->get_name() != args[2]) continue;
        for (const CLI::Option* option : subcommand.command->get_options()) {
            for (const std::string& name : option->get_lnames()) printLine("--" + name);
        }
        return kExitSuccess;
    }
    return kExitUsage;
}

// Every spelling of every option command takes, "--video" and "-C" alike.
std::vector<std::string> optionNames(const CLI::App& command) {
    std::vector<std::string> names;
    for (const CLI::Option* option : command.get_options()) {
        for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
        for (const std::string& name : option->get_snames()) names.push_back("-" + name);
    }
    return names;
}

// CLI11's wording, except for an option the command does not take: that
// one is named with the option nearest to it, whatever else the parser
// found missing because of it.
std::string parseErrorLine(const CLI::App& command, const CLI::ParseError& error) {
    for (const std::string& extra : command.remaining()) {
        if (extra.size() < 2 || extra[0] != '-') continue;
        const std::string typed = extra.substr(0, extra.find('='));
        const std::vector<std::string> names = optionNames(command);
        const std::vector<std::string_view> views(names.begin(), names.end());
        return unknownOption(typed, nearestWord(typed, views).value_or(std::string_view{}));
    }
    return error.what();
}

}  // namespace

int runCommandLine(std::span<const char* const> args) {
    if (args.size() < 2) {
        std::fprintf(stderr, "%s\n", usageText().c_str());
        return kExitUsage;
    }
    if (const std::optional<int> status = printCompletionList(args)) return *status;
    if (isSingleSongForm(args[1])) {
        if (!hasDigit(args[1])) return refuseUnknownCommand(args[1]);
        if (args.size() > 2) return refuseBareFormExtras(args);
        return printReport(convertSongHere(parseSongNumber(args[1])));
    }

    Parser parser;
    CLI::App& app = parser.app;
    try {
        app.parse(static_cast<int>(args.size()), args.data());
    } catch (const CLI::ParseError& error) {
        // --help and --version: printed, and a success.
        if (error.get_exit_code() == 0) return app.exit(error) == 0 ? kExitSuccess : kExitUsage;
        // The command being parsed when the parser gave up: its name leads
        // the line and its options are the ones a typo is matched against.
        const CLI::App* command = &app;
        if (const std::vector<CLI::App*> parsed = app.get_subcommands(); !parsed.empty()) {
            command = parsed.back();
        }
        return usageError(*command, parseErrorLine(*command, error));
    }
    for (const Subcommand& subcommand : parser.subcommands) {
        if (subcommand.command->parsed()) return subcommand.run();
    }
    return usageError(app, help::kNoCommand);
}

}  // namespace kdb2mid
