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

}  // namespace kdb2mid
