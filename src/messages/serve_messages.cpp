#include "messages/serve_messages.hpp"

#include "messages/messages.hpp"

namespace kdb2mid {

std::string serveReady(int port) {
    return "Open http://localhost:" + std::to_string(port) + " on this machine's screen";
}

std::string cannotListen(std::string_view host, int port, int error) {
    std::string line = "Cannot listen on " + std::string(host) + ":" + std::to_string(port);
    if (error != 0) line += ": " + systemReason(error);
    return line;
}

std::string singerFieldRefused(std::size_t maxCharacters) {
    return "\"singer\" must be text of at most " + std::to_string(maxCharacters) +
           " characters, without control characters";
}

std::string keyFieldRefused(int lowest, int highest) {
    return "\"key\" must be a whole number from " + std::to_string(lowest) + " to " +
           std::to_string(highest);
}

std::string methodNotAllowed(std::string_view allowed) {
    std::string methods(allowed);
    if (const std::size_t comma = methods.rfind(", "); comma != std::string::npos) {
        methods.replace(comma, 2, " or ");
    }
    return "This address takes " + methods;
}

std::string phoneHeaderRefused(std::size_t fewest, std::size_t most) {
    return "The X-Kdb2mid-Phone header must be " + std::to_string(fewest) + " to " +
           std::to_string(most) + " letters, digits, \"-\" or \"_\"";
}

std::string phoneQueueFull(std::size_t most) {
    return "This phone has " + std::to_string(most) + " songs waiting already";
}

std::string tempoFieldRefused(int lowest, int highest) {
    return "\"tempo\" must be a whole number from " + std::to_string(lowest) + " to " +
           std::to_string(highest);
}

std::string searchQueryTooLong(std::size_t most) {
    return "\"q\" must be at most " + std::to_string(most) + " bytes";
}

std::string searchLimitRefused(std::size_t most) {
    return "\"limit\" must be a whole number from 1 to " + std::to_string(most);
}

std::string joinAddressLine(std::string_view url) {
    return "Phones join at " + std::string(url);
}

std::string hostPinLine(std::string_view pin) { return "The host's PIN: " + std::string(pin); }

std::string nightDamaged(std::string_view file, std::string_view keptAs) {
    return "The saved night in " + std::string(file) + " was damaged: kept as " +
           std::string(keptAs) + "; the night starts empty";
}

std::string nightDamagedNotKept(std::string_view file, int error) {
    return "The saved night in " + std::string(file) +
           " was damaged and could not be kept aside: " + systemReason(error) +
           "; the night starts empty";
}

std::string cannotReadNight(std::string_view file, int error) {
    return "Cannot read the saved night " + std::string(file) + ": " + systemReason(error);
}

std::string cannotSaveNight(std::string_view file, int error) {
    return "Cannot save the night in " + std::string(file) + ": " + systemReason(error);
}

namespace help {

std::string servePort(int defaultPort) {
    return "Port to listen on (default: " + std::to_string(defaultPort) + ")";
}

std::string servePin(std::size_t fewest, std::size_t most, std::size_t drawn) {
    return "The host's PIN, " + std::to_string(fewest) + " to " + std::to_string(most) +
           " digits (default: " + std::to_string(drawn) + " new random digits at each start)";
}

std::string serveSoundFont(std::string_view defaultFile) {
    return "SoundFont (.sf2/.sf3) the page plays the songs with" +
           (defaultFile.empty() ? std::string(" (required)")
                                : " (default: " + std::string(defaultFile) + ")");
}

std::string notPin(std::string_view text, std::size_t fewest, std::size_t most) {
    return "not " + std::to_string(fewest) + " to " + std::to_string(most) +
           " digits: " + std::string(text);
}

std::string notIpv4Address(std::string_view text) {
    return "not an IPv4 address: " + std::string(text);
}

std::string notPort(std::string_view text, int lowest, int highest) {
    return "not a port number from " + std::to_string(lowest) + " to " + std::to_string(highest) +
           ": " + std::string(text);
}

}  // namespace help

}  // namespace kdb2mid
