// kdb2mid serve: the karaoke player in a browser. Opens the database, loads
// the song catalogue (through the search cache), and answers on 127.0.0.1
// until Ctrl-C or SIGTERM. Built when the build has serve (KDB2MID_SERVE).
#ifdef KDB2MID_HAVE_SERVE
#include <cerrno>
#include <charconv>
#include <cstdio>
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
#include "serve/http_server.hpp"
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
};

std::optional<int> parsePort(std::string_view text) {
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc{} || end != text.data() + text.size() || port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
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
    ServeApi api(database, std::move(load.entries), webAssets());
    const ListenAddress address{"127.0.0.1", request.port};
    const int error = runHttpServer(
        api, soundFont, address,
        [&] {
            printLine(serveReady(request.port));
            // At once, also into a pipe: whoever started the server waits for it.
            std::fflush(stdout);
        },
        [] { return interrupted(); });
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
    };
    auto a = std::make_shared<Arguments>();
    CLI::App* serve = app.add_subcommand(
        "serve", "Play the database's songs in a browser: a karaoke player with a song queue");
    addDatabaseOption(*serve, a->database);
    serve->add_option("--port", a->port,
                      "Port to listen on, on 127.0.0.1 (default: " +
                          std::to_string(kDefaultPort) + ")")
        ->type_name("N")
        ->check(kPort);
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
        "Open the address it prints in a browser on this machine. Stop it with Ctrl-C.\n"
        "Exit status: 1 when it cannot start, 2 for a usage error, 128 plus the signal's\n"
        "number once stopped by one (130 for Ctrl-C).");
    return {serve, [a, defaultSoundFont] {
                ServeRequest request;
                request.databaseFolder = pathFromArgument(a->database);
                request.soundFont =
                    pathFromArgument(a->soundFont.empty() ? defaultSoundFont : a->soundFont);
                if (!a->port.empty()) request.port = *parsePort(a->port);
                return runServeCommand(request);
            }};
}

}  // namespace kdb2mid

#endif  // KDB2MID_HAVE_SERVE
