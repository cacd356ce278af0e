// The options `--help` prints against the manual page and the bash
// completion, command by command, so the three can't drift apart.
#include <gtest/gtest.h>

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

// The completion's options for a command: `convert) options="..."`, or the
// top level's `compgen -W '--help --version'`.
Options completionOptions(const std::string& command) {
    const std::string script = readText(test::sourceDir() / "packaging/kdb2mid.bash");
    Options options;
    std::smatch match;
    const std::regex top(R"(compgen -W '(--[^']*)')");
    const std::regex entry(R"(\n\s*([a-z| -]+)\)\s*options="([^"]*)\")");
    std::string words;
    if (command.empty()) {
        if (std::regex_search(script, match, top)) words = match[1];
    } else {
        for (std::sregex_iterator it(script.begin(), script.end(), entry), end; it != end; ++it) {
            std::istringstream labels(std::regex_replace((*it)[1].str(), std::regex("[|]"), " "));
            for (std::string label; labels >> label;) {
                if (label == command) words = (*it)[2];
            }
        }
    }
    std::istringstream list(words);
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
    for (const std::string command :
         {"", "convert", "info", "list", "search", "names", "chorus-index", "legacy"}) {
        SCOPED_TRACE("kdb2mid " + command);
        const Options help = helpOptions(command);
        ASSERT_TRUE(help.contains("--help"));
        // The completion offers --help at the top level, so it lists it everywhere.
        EXPECT_EQ(withoutAudioOnly(completionOptions(command)), help);

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

}  // namespace
}  // namespace kdb2mid
