// `kdb2mid serve`: its options; the server's start and run are
// serve/serve_run.hpp's. Built when the build has serve (KDB2MID_SERVE).
#ifdef KDB2MID_HAVE_SERVE
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/subcommand.hpp"
#include "messages/serve_messages.hpp"
#include "serve/guest_access.hpp"
#include "serve/night_store.hpp"
#include "serve/serve_run.hpp"

#ifdef KDB2MID_HAVE_AUDIO
#include "audio/song_renderer.hpp"
#endif

namespace kdb2mid {

namespace {

#ifdef KDB2MID_HAVE_AUDIO
const std::string kServeSoundFont = kDefaultSoundFont;
#else
const std::string kServeSoundFont;
#endif

}  // namespace

CommandRun addServeCommand(CLI::App& serve) {
    struct Arguments {
        std::string database, port, soundFont, listen, pin, state;
        bool lan = false;
    };
    auto a = std::make_shared<Arguments>();
    addDatabaseOption(serve, a->database);
    serve.add_option("--port", a->port, help::servePort(kDefaultServePort))
        ->type_name("N")
        ->check(CLI::Validator(refusedPort, ""));
    CLI::Option* lan = serve.add_flag("--lan", a->lan, help::kServeLan);
    serve.add_option("--listen", a->listen, help::kServeListen)
        ->type_name("ADDR")
        ->check(CLI::Validator(refusedListenAddress, ""))
        ->excludes(lan);
    serve.add_option("--pin", a->pin, help::servePin(kMinPinDigits, kMaxPinDigits, kDefaultPinDigits))
        ->type_name("DIGITS")
        ->check(CLI::Validator(refusedPin, ""));
    serve.add_option("--state", a->state, help::kServeState)->type_name("FILE");
    CLI::Option* soundFont =
        serve.add_option("--soundfont", a->soundFont, help::serveSoundFont(kServeSoundFont))
            ->type_name("FILE");
    if (kServeSoundFont.empty()) soundFont->required();
    serve.footer(help::kServeFooter);
    return [a] {
        ServeRequest request;
        request.databaseFolder = pathFromArgument(a->database);
        request.soundFont = pathFromArgument(a->soundFont.empty() ? kServeSoundFont : a->soundFont);
        if (!a->port.empty()) request.port = *parsePort(a->port);
        if (a->lan) request.listen = "0.0.0.0";
        if (!a->listen.empty()) request.listen = a->listen;
        request.pin = a->pin;
        request.stateFile = a->state.empty()
                                ? defaultNightFile(std::getenv("XDG_STATE_HOME"), std::getenv("HOME"))
                                : std::optional(pathFromArgument(a->state));
        // Each line at once, also into a pipe: whoever started the server waits for it.
        const ServeConsole console{[](std::string_view line) {
                                       printLine(line);
                                       std::fflush(stdout);
                                   },
                                   printError};
        return runServe(request, webAssets(), console) ? kExitSuccess : kExitFailure;
    };
}

}  // namespace kdb2mid

#endif  // KDB2MID_HAVE_SERVE
