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
// The same when it also listens on the network (--lan, --listen).
inline constexpr const char* kWrongHostNetwork =
    "This server answers only requests addressed to this machine's names and addresses";
inline constexpr const char* kForeignPage =
    "This server takes changes only from its own pages";
inline constexpr const char* kEntryIdField = "\"id\" must be the number of an entry";
inline constexpr const char* kMoveToField = "\"to\" must be a position in the queue, from 0 on";
inline constexpr const char* kNextAfterField = "\"after\" must be the number of an entry";
inline constexpr const char* kPausedField = "\"paused\" must be true or false";
inline constexpr const char* kGuideField =
    "\"guide\" must be \"off\", \"soft\", \"normal\" or \"strong\"";
// "The X-Kdb2mid-Phone header must be 22 to 64 letters, digits, \"-\" or \"_\""
std::string phoneHeaderRefused(std::size_t fewest, std::size_t most);
inline constexpr const char* kNoSuchEntry = "There is no such entry in the queue";
inline constexpr const char* kNotYourEntry =
    "Only the phone that queued this song, or the host with the PIN, can remove it";
inline constexpr const char* kHostOnly = "Only the host can do this: it needs the night's PIN";
inline constexpr const char* kWrongPin = "The PIN is wrong: only the host can do this";
inline constexpr const char* kTooManyPins =
    "Too many wrong PINs from this address: try again in a minute";
inline constexpr const char* kNothingPlaying = "No song is playing";
inline constexpr const char* kPinOnThisMachine = "The PIN is shown only on this machine's screen";
inline constexpr const char* kSingerQuery = "\"singer\" must be a name of at most 40 characters";
inline constexpr const char* kSongQuery = "\"song\" must be a song number";
inline constexpr const char* kTooManyStreams =
    "Too many screens are following the night; try again shortly";
inline constexpr const char* kNoJoinAddress =
    "Phones cannot join: the server listens on this machine only (start it with --lan)";
// "This phone has 20 songs waiting already"
std::string phoneQueueFull(std::size_t most);
// "\"tempo\" must be a whole number from 25 to 400"
std::string tempoFieldRefused(int lowest, int highest);
// "\"q\" must be at most 200 bytes"
std::string searchQueryTooLong(std::size_t most);
// "\"limit\" must be a whole number from 1 to 100"
std::string searchLimitRefused(std::size_t most);

// What serve prints at start with --lan or --listen.
// "Phones join at http://192.168.1.20:8080/sing"
std::string joinAddressLine(std::string_view url);
// "The host's PIN: 1234"
std::string hostPinLine(std::string_view pin);
inline constexpr const char* kNoNetworkAddress =
    "This machine has no network address besides loopback: serving this machine only";
// "The saved night in F was damaged: kept as F.damaged; the night starts empty"
std::string nightDamaged(std::string_view file, std::string_view keptAs);
// "The saved night in F was damaged and could not be kept aside: ...; the night starts empty"
std::string nightDamagedNotKept(std::string_view file, int error);
// "Cannot read the saved night F: reason"
std::string cannotReadNight(std::string_view file, int error);
// "Cannot save the night in F: reason" (said once, at the first failure)
std::string cannotSaveNight(std::string_view file, int error);
// "\"singer\" must be text of at most 40 characters, without control characters"
std::string singerFieldRefused(std::size_t maxCharacters);
// "\"key\" must be a whole number from -12 to 12"
std::string keyFieldRefused(int lowest, int highest);
// "This address takes GET or HEAD" (allowed: "GET, HEAD", as the Allow header lists them)
std::string methodNotAllowed(std::string_view allowed);

// `kdb2mid serve --help`, and why an option's value is refused.
namespace help {
inline constexpr const char* kServe =
    "Play the database's songs in a browser: a karaoke player with a song queue";
std::string servePort(int defaultPort);
inline constexpr const char* kServeLan =
    "Listen on every IPv4 address too, so that phones on the network can join; prints "
    "their address and the host's PIN";
inline constexpr const char* kServeListen =
    "Listen on this IPv4 address of this machine instead of 127.0.0.1 "
    "(0.0.0.0: every one, as --lan)";
std::string servePin(std::size_t fewest, std::size_t most, std::size_t drawn);
inline constexpr const char* kServeState =
    "Keep the night (queue, history, singers' keys) in FILE (default: "
    "$XDG_STATE_HOME/kdb2mid/night.json, else ~/.local/state/kdb2mid/night.json)";
// defaultFile empty: the option is required.
std::string serveSoundFont(std::string_view defaultFile);
inline constexpr const char* kServeFooter =
    "Open the address it prints in a browser on this machine. Guests open /sing on\n"
    "their phones (with --lan: the address it prints, also shown on the TV as a QR\n"
    "code); whoever has the PIN the TV shows is the host. Stop it with Ctrl-C: the\n"
    "night is kept and comes back at the next start.\n"
    "Exit status: 1 when it cannot start, 2 for a usage error, 128 plus the signal's\n"
    "number once stopped by one (130 for Ctrl-C).";
// "not 4 to 8 digits: 12"
std::string notPin(std::string_view text, std::size_t fewest, std::size_t most);
std::string notIpv4Address(std::string_view text);
std::string notPort(std::string_view text, int lowest, int highest);
}  // namespace help

}  // namespace kdb2mid
