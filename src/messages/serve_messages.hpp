// What `kdb2mid serve` says: the line it prints when it is ready or cannot
// start, and the sentences of its answers' {"error": "..."}. A song that
// cannot be read or converted is worded as the command line words it
// (cannotReadSong, cannotConvert in messages.hpp).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kdb2mid {

// "Open http://localhost:8080 on this machine's screen"
std::string serveReady(int port);
// "Cannot listen on 127.0.0.1:8080: Address already in use"
std::string cannotListen(std::string_view host, int port, int error);

// The answers' sentences.
inline constexpr const char* kNothingHere = "There is nothing at this address";
inline constexpr const char* kMalformedRequest = "The request is malformed";
inline constexpr const char* kTargetTooLong = "The address is too long";
inline constexpr const char* kBodyTooLarge = "The request body is larger than 16 KB";
inline constexpr const char* kBodyNotObject = "The request body must be a JSON object";
inline constexpr const char* kQueueSongField = "\"song\" must be a song number";
inline constexpr const char* kQueueFull = "The queue is full";
inline constexpr const char* kServerOutOfMemory = "The server is out of memory";
inline constexpr const char* kServerFault = "The server could not answer this request";
inline constexpr const char* kWrongHost =
    "This server answers only requests addressed to localhost or 127.0.0.1";
// "\"singer\" must be text of at most 40 characters, without control characters"
std::string singerFieldRefused(std::size_t maxCharacters);
// "\"key\" must be a whole number from -12 to 12"
std::string keyFieldRefused(int lowest, int highest);
// "This address takes GET or HEAD" (allowed: "GET, HEAD", as the Allow header lists them)
std::string methodNotAllowed(std::string_view allowed);

}  // namespace kdb2mid
