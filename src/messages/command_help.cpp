#include "messages/command_help.hpp"

#include <algorithm>

#include "messages/messages.hpp"

namespace kdb2mid::help {

namespace {

std::string text(std::string_view view) { return std::string(view); }

// An argument as it would be typed into a shell: quoted unless it holds only
// letters, digits and punctuation the shell leaves alone.
std::string shellWord(std::string_view word) {
    const bool plain = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("-_./=:,+@%").find(c) != std::string_view::npos;
    });
    if (plain) return text(word);
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

std::string versionLine(std::string_view version) { return "kdb2mid " + text(version); }

std::string usage(std::string_view commands) {
    return "usage: kdb2mid SONG   (a song number, e.g. kdb2mid 21090)\n"
           "       kdb2mid " + text(commands) + " ...   (kdb2mid --help tells more)";
}

std::string bareFormExtras(std::span<const std::string_view> arguments) {
    std::string line = "usage: kdb2mid convert";
    for (const std::string_view argument : arguments) {
        line += ' ';
        line += shellWord(argument);
    }
    return line + "   (kdb2mid SONG takes the song number alone)";
}

std::string unknownCommand(std::string_view typed, std::string_view nearest) {
    std::string line = "kdb2mid: unknown command \"" + text(typed) + "\"";
    if (typed == "help") {
        line += "; for help run: kdb2mid --help";
    } else if (!nearest.empty()) {
        line += "; did you mean: kdb2mid " + text(nearest) + "?";
    }
    return line;
}

std::string writeError(int error) {
    return error == 0 ? std::string("write error") : "write error: " + systemReason(error);
}

std::string usagePrefix(std::string_view command) {
    return command.empty() ? "kdb2mid: " : "kdb2mid " + text(command) + ": ";
}

std::string outputIsFile(std::string_view given) {
    return text(given) + " is a file; -o names the folder the files are written into";
}

std::string notSongNumber(std::string_view given) { return "not a song number: " + text(given); }

std::string notSongNumberButRange(std::string_view given, std::int32_t first, std::int32_t last) {
    return "not a song number: " + text(given) + " (for the songs " + std::to_string(first) +
           " to " + std::to_string(last) + " use --range " + text(given) + ")";
}

std::string rangeReversed(std::string_view given, std::int32_t first, std::int32_t last) {
    return "FROM is above TO in " + text(given) + " (the range from the lower number is " +
           std::to_string(last) + "-" + std::to_string(first) + ")";
}

std::string notSongRange(std::string_view given) {
    return "not a range of song numbers FROM-TO: " + text(given);
}

std::string notCount(std::string_view given) { return "not a number above 0: " + text(given); }

std::string notShard(std::string_view given) {
    return "not a shard I/N with I from 1 to N, auto or auto/N: " + text(given);
}

std::string transpose(int most) {
    return "Move every note but the drums N semitones, " + std::to_string(-most) + " to " +
           std::to_string(most) + ", in every file";
}

std::string tempo(int lowest, int highest) {
    return "Play at PERCENT of the song's tempo, " + std::to_string(lowest) + " to " +
           std::to_string(highest) + "; lyric times follow";
}

std::string legacyFooter(std::string_view rootName) {
    return "Reads DBDIR/9703/song.idx and DBDIR/9703/song.dat; writes OUTDIR/SONG.dat, the\n"
           "song's record as stored. Without -C, DBDIR is the --root folder, or else " +
           text(rootName) + ",\nand OUTDIR defaults to it.\n" + kExitStatuses;
}

std::string legacyRoot(std::string_view rootName) {
    return "As -C, but SONG.dat goes into DIR unless -o says otherwise (default: " +
           text(rootName) + ")";
}

std::string songbookTitle(std::string_view defaultTitle) {
    return "The book's title (default: " + text(defaultTitle) + ")";
}

std::string notBookSections(std::string_view given) {
    return "not a list of title, artist and number: " + text(given);
}

}  // namespace kdb2mid::help
