// The options `--help` prints against the manual page and the bash
// completion, command by command, so the three can't drift apart.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "test_support.hpp"

namespace kdb2mid {
namespace {

using Options = std::set<std::string>;

std::string readText(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The long options of one command's --help: "  -C,--database DBDIR ...".
Options helpOptions(const std::string& command) {
    std::vector<std::string> args;
    if (!command.empty()) args.push_back(command);
    args.push_back("--help");
    const test::TempDir folder;
    const std::string help = test::runTool(folder.path(), args).out;
    Options options;
    const std::regex line(R"(^  (?:-\w,)?(--[\w-]+))");
    std::istringstream lines(help);
    for (std::string text; std::getline(lines, text);) {
        std::smatch match;
        if (std::regex_search(text, match, line)) options.insert(match[1]);
    }
    return options;
}

// The manual's options, by the heading they are listed under ("Common",
// "convert", "info, list", ...): the tag line after each .TP.
std::map<std::string, Options> manualOptions() {
    const std::string page = readText(test::sourceDir() / "docs/kdb2mid.1");
    std::map<std::string, Options> sections;
    std::string section;
    bool inOptions = false;
    bool tag = false;
    std::istringstream lines(page);
    for (std::string text; std::getline(lines, text);) {
        if (text.starts_with(".SH")) inOptions = text == ".SH OPTIONS";
        if (!inOptions) continue;
        if (text.starts_with(".SS ")) section = text.substr(4);
        if (tag) {
            const std::string plain = std::regex_replace(text, std::regex(R"(\\-)"), "-");
            const std::regex option(R"(--[\w-]+)");
            for (std::sregex_iterator it(plain.begin(), plain.end(), option), end; it != end; ++it) {
                sections[section].insert(it->str());
            }
        }
        tag = text == ".TP";
    }
    return sections;
}

// What the bash completion offers, through bash itself (without the
// bash-completion package's helpers): `kdb2mid COMMAND --<TAB>`, or at the
// top level `kdb2mid --<TAB>`, or with "" the command names for `kdb2mid <TAB>`.
Options completionWords(const std::string& command, const std::string& cur) {
    const test::TempDir folder;
    const std::string words = "kdb2mid" + (command.empty() ? std::string() : " " + command);
    std::ofstream(folder / "complete.sh")
        << "PATH=\"" << std::filesystem::path(KDB2MID_BINARY).parent_path().string() << ":$PATH\"\n"
        << "source '" << (test::sourceDir() / "packaging/kdb2mid.bash").string() << "'\n"
        << "COMP_WORDS=(" << words << " '" << cur << "'); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))\n"
        << "COMP_LINE=\"${COMP_WORDS[*]}\"; COMP_POINT=${#COMP_LINE}\n"
        << "_kdb2mid; printf '%s\\n' \"${COMPREPLY[@]}\" >'" << (folder / "words").string() << "'\n";
    EXPECT_EQ(std::system(("bash '" + (folder / "complete.sh").string() + "'").c_str()), 0);
    Options options;
    std::istringstream list(readText(folder / "words"));
    for (std::string word; list >> word;) options.insert(word);
    return options;
}

// Options of builds that render audio: the manual and the completion list
// them whatever the build.
Options withoutAudioOnly(Options options) {
#ifndef KDB2MID_HAVE_AUDIO
    for (const char* option : {"--audio", "--soundfont", "--ultrastar", "--mute-melody", "--stems"}) {
        options.erase(option);
    }
#endif
    return options;
}

TEST(HelpOptions, ManualAndCompletionListWhatHelpPrints) {
    const std::map<std::string, Options> manual = manualOptions();
    ASSERT_TRUE(manual.contains("Common"));
    // Every command the tool has, as its completion offers them.
    std::vector<std::string> commands = {""};
    const test::TempDir folder;
    std::istringstream listed(test::runTool(folder.path(), {"--list-commands"}).out);
    for (std::string name; listed >> name;) commands.push_back(name);
    ASSERT_GT(commands.size(), 7U);
    EXPECT_EQ(completionWords("", ""), Options(commands.begin() + 1, commands.end()));
    for (const std::string& command : commands) {
        SCOPED_TRACE("kdb2mid " + command);
        const Options help = helpOptions(command);
        ASSERT_TRUE(help.contains("--help"));
        EXPECT_EQ(completionWords(command, "--"), help);

        // The manual: every option under the command's own heading, and the
        // common ones, which each command has or not.
        Options own;
        for (const auto& [heading, options] : manual) {
            std::istringstream names(std::regex_replace(heading, std::regex(","), " "));
            for (std::string name; names >> name;) {
                if (name == command) {
                    const Options shown = withoutAudioOnly(options);
                    own.insert(shown.begin(), shown.end());
                }
            }
        }
        const Options& common = manual.at("Common");
        for (const std::string& option : help) {
            EXPECT_TRUE(own.contains(option) || common.contains(option)) << option;
        }
        for (const std::string& option : own) EXPECT_TRUE(help.contains(option)) << option;
    }
}

// The command table feeds the usage line, the top-level help, each command's
// own help and the completion's list: the same commands in the same order,
// each with the same summary at the top and in its own help.
TEST(HelpOptions, UsageHelpAndCompletionListTheSameCommands) {
    const test::TempDir folder;
    std::vector<std::string> listed;
    std::istringstream names(test::runTool(folder.path(), {"--list-commands"}).out);
    for (std::string name; names >> name;) listed.push_back(name);
    ASSERT_GT(listed.size(), 7U);

    // "usage: kdb2mid SONG ...\n       kdb2mid convert|info|... ..."
    const std::string usage = test::runTool(folder.path(), {}).err;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(usage, match, std::regex(R"(\n +kdb2mid ([a-z|-]+) )"))) << usage;
    std::vector<std::string> inUsage;
    std::istringstream bars(std::regex_replace(match[1].str(), std::regex("[|]"), " "));
    for (std::string name; bars >> name;) inUsage.push_back(name);
    EXPECT_EQ(inUsage, listed);

    // "  convert    Convert songs to ...": the top-level help's list of
    // subcommands, in order.
    const std::string top = test::runTool(folder.path(), {"--help"}).out;
    std::vector<std::string> inHelp;
    std::istringstream lines(top.substr(top.find("\nSubcommands:\n")));
    for (std::string line; std::getline(lines, line);) {
        if (!std::regex_match(line, match, std::regex(R"(  ([a-z-]+) +(\S.*))"))) continue;
        inHelp.push_back(match[1]);
        const std::string own = test::runTool(folder.path(), {match[1], "--help"}).out;
        EXPECT_EQ(own.substr(0, own.find('\n')), match[2].str()) << match[1];
    }
    EXPECT_EQ(inHelp, listed);
}

}  // namespace
}  // namespace kdb2mid
