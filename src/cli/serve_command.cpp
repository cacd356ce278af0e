// kdb2mid serve: the karaoke player in a browser, and the night's queue for
// the guests' phones. Opens the database, loads the song catalogue (through
// the search cache) and the night so far (the state file), and answers on
// 127.0.0.1 (with --lan or --listen, on the network too) until Ctrl-C or
// SIGTERM. Built when the build has serve (KDB2MID_SERVE).
#ifdef KDB2MID_HAVE_SERVE
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/subcommand.hpp"
#include "io/interruption.hpp"
#include "messages/messages.hpp"
#include "messages/serve_messages.hpp"
#include "search/catalogue_store.hpp"
#include "serve/guest_access.hpp"
#include "serve/http_server.hpp"
#include "serve/network_addresses.hpp"
#include "serve/night_store.hpp"
#include "serve/serve_api.hpp"
#include "serve/web_assets.hpp"

#ifdef KDB2MID_HAVE_AUDIO
#include "audio/song_renderer.hpp"
#endif

namespace kdb2mid {

namespace {

constexpr int kDefaultPort = 8080;

struct ServeRequest {
    std::filesystem::path databaseFolder;
    std::filesystem::path soundFont;
    int port = kDefaultPort;
    std::string listen = "127.0.0.1";  // --listen ADDR; "0.0.0.0" with --lan
    std::string pin;                   // --pin; "" draws one
    std::optional<std::filesystem::path> stateFile;
};

std::optional<int> parsePort(std::string_view text) {
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc{} || end != text.data() + text.size() || port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

const CLI::Validator kPin(
    [](const std::string& text) {
        return validPin(text) ? std::string{}
                              : "not " + std::to_string(kMinPinDigits) + " to " +
                                    std::to_string(kMaxPinDigits) + " digits: " + text;
    },
    "");

const CLI::Validator kListenAddress(
    [](const std::string& text) {
        return ipv4Address(text) ? std::string{} : "not an IPv4 address: " + text;
    },
    "");

// The night so far, from the state file; nothing when it must not start (a
// file that is there but cannot be read is not replaced).
std::optional<NightState> loadNight(const std::optional<std::filesystem::path>& file) {
    if (!file) return NightState{};
    NightLoad load = loadNightFile(*file);
    const std::string name = displayName(*file);
    switch (load.outcome) {
        case NightLoad::Outcome::unreadable:
            printError(cannotReadNight(name, load.error));
            return std::nullopt;
        case NightLoad::Outcome::damagedKept:
            printError(nightDamaged(name, displayName(load.keptAs)));
            break;
        case NightLoad::Outcome::damagedNotKept:
            printError(nightDamagedNotKept(name, load.error));
            break;
        case NightLoad::Outcome::none:
        case NightLoad::Outcome::loaded: break;
    }
    return std::move(load.night);
}

const CLI::Validator kPort(
    [](const std::string& text) {
        return parsePort(text) ? std::string{} : "not a port number from 1 to 65535: " + text;
    },
    "");

int runServeCommand(const ServeRequest& request) {
    SongDatabase database;
    if (const auto error = database.open(request.databaseFolder);
        error != SongDatabase::OpenError::none) {
        // The line convert prints, where convert prints it.
        printLine(databaseOpenFailure(error, request.databaseFolder));
        return kExitFailure;
    }
    // Opened now, so that a soundfont that is not there stops the server
    // before anyone opens the page.
    RandomAccessFile soundFont;
    if (!soundFont.open(request.soundFont)) {
        printError(cannotOpenInput(request.soundFont, errno));
        return kExitFailure;
    }
    CatalogueLoad load = loadCatalogue(database, searchCacheFolder());
    if (load.outOfMemory) {
        printError(kCatalogueTooLarge);
        return kExitFailure;
    }
    std::optional<NightState> night = loadNight(request.stateFile);
    if (!night) return kExitFailure;

    ServeSetup setup;
    setup.pin = request.pin.empty() ? randomPin() : request.pin;
    // The night's own salt, so that a phone's entries stay its own across
    // a restart; a new night gets a new one.
    const std::optional<Salt> kept = saltFromText(night->phoneSalt);
    setup.salt = kept ? *kept : randomSalt();
    night->phoneSalt = saltText(setup.salt);
    setup.night = std::move(*night);
    ListenAddress address{request.listen, request.port};
    const bool network = address.host != "127.0.0.1";
    if (network) {
        const std::vector<InterfaceAddress> own = interfaceAddresses();
        for (const InterfaceAddress& item : own) setup.addresses.push_back(item.address);
        const std::optional<std::string> join =
            address.host == "0.0.0.0" ? joinAddress(own) : std::optional(address.host);
        if (join && !join->starts_with("127.")) {
            setup.joinUrl = "http://" + *join + ":" + std::to_string(request.port) + "/sing";
        } else if (address.host == "0.0.0.0") {
            printLine(kNoNetworkAddress);
            address.host = "127.0.0.1";
            setup.addresses.clear();
        }
    }
    const std::string joinUrl = setup.joinUrl;
    const std::string pin = setup.pin;
    ServeApi api(database, std::move(load.entries), webAssets(), std::move(setup));
    std::optional<NightKeeper> keeper;
    if (request.stateFile) {
        keeper.emplace(api, *request.stateFile, [file = displayName(*request.stateFile)](int error) {
            printError(cannotSaveNight(file, error));
        });
    }
    const int error = runHttpServer(
        api, soundFont, address,
        [&] {
            printLine(serveReady(request.port));
            if (!joinUrl.empty()) {
                printLine(joinAddressLine(joinUrl));
                printLine(hostPinLine(pin));
            }
            // At once, also into a pipe: whoever started the server waits for it.
            std::fflush(stdout);
        },
        [] { return interrupted(); });
    keeper.reset();
    if (error != 0) {
        printError(cannotListen(address.host, address.port, error < 0 ? 0 : error));
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace

Subcommand addServeCommand(CLI::App& app) {
    struct Arguments {
        std::string database;
        std::string port;
        std::string soundFont;
        bool lan = false;
        std::string listen;
        std::string pin;
        std::string state;
    };
    auto a = std::make_shared<Arguments>();
    CLI::App* serve = app.add_subcommand(
        "serve", "Play the database's songs in a browser: a karaoke player with a song queue");
    addDatabaseOption(*serve, a->database);
    serve->add_option("--port", a->port,
                      "Port to listen on (default: " +
                          std::to_string(kDefaultPort) + ")")
        ->type_name("N")
        ->check(kPort);
    CLI::Option* lan = serve->add_flag(
        "--lan", a->lan,
        "Listen on every IPv4 address too, so that phones on the network can join; prints "
        "their address and the host's PIN");
    serve->add_option("--listen", a->listen,
                      "Listen on this IPv4 address of this machine instead of 127.0.0.1 "
                      "(0.0.0.0: every one, as --lan)")
        ->type_name("ADDR")
        ->check(kListenAddress)
        ->excludes(lan);
    serve->add_option("--pin", a->pin,
                      "The host's PIN, " + std::to_string(kMinPinDigits) + " to " +
                          std::to_string(kMaxPinDigits) +
                          " digits (default: 4 new random digits at each start)")
        ->type_name("DIGITS")
        ->check(kPin);
    serve->add_option("--state", a->state,
                      "Keep the night (queue, history, singers' keys) in FILE (default: "
                      "$XDG_STATE_HOME/kdb2mid/night.json, else "
                      "~/.local/state/kdb2mid/night.json)")
        ->type_name("FILE");
#ifdef KDB2MID_HAVE_AUDIO
    const std::string defaultSoundFont = kDefaultSoundFont;
#else
    const std::string defaultSoundFont;
#endif
    CLI::Option* soundFont =
        serve->add_option("--soundfont", a->soundFont,
                          "SoundFont (.sf2/.sf3) the page plays the songs with" +
                              (defaultSoundFont.empty() ? std::string(" (required)")
                                                        : " (default: " + defaultSoundFont + ")"))
            ->type_name("FILE");
    if (defaultSoundFont.empty()) soundFont->required();
    serve->footer(
        "Open the address it prints in a browser on this machine. Guests open /sing on\n"
        "their phones (with --lan: the address it prints, also shown on the TV as a QR\n"
        "code); whoever has the PIN the TV shows is the host. Stop it with Ctrl-C: the\n"
        "night is kept and comes back at the next start.\n"
        "Exit status: 1 when it cannot start, 2 for a usage error, 128 plus the signal's\n"
        "number once stopped by one (130 for Ctrl-C).");
    return {serve, [a, defaultSoundFont] {
                ServeRequest request;
                request.databaseFolder = pathFromArgument(a->database);
                request.soundFont =
                    pathFromArgument(a->soundFont.empty() ? defaultSoundFont : a->soundFont);
                if (!a->port.empty()) request.port = *parsePort(a->port);
                if (a->lan) request.listen = "0.0.0.0";
                if (!a->listen.empty()) request.listen = a->listen;
                request.pin = a->pin;
                request.stateFile =
                    a->state.empty()
                        ? defaultNightFile(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"))
                        : std::optional(pathFromArgument(a->state));
                return runServeCommand(request);
            }};
}

}  // namespace kdb2mid

#endif  // KDB2MID_HAVE_SERVE
