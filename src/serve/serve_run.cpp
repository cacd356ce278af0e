#include "serve/serve_run.hpp"

#include <cerrno>
#include <charconv>
#include <utility>
#include <vector>

#include "io/interruption.hpp"
#include "messages/messages.hpp"
#include "messages/serve_messages.hpp"
#include "search/catalogue_store.hpp"
#include "serve/guest_access.hpp"
#include "serve/http_server.hpp"
#include "serve/network_addresses.hpp"
#include "serve/night_store.hpp"
#include "serve/serve_api.hpp"

namespace kdb2mid {

namespace {

// The night so far, from the state file; nothing when it must not start (a
// file that is there but cannot be read is not replaced).
std::optional<NightState> loadNight(const std::optional<std::filesystem::path>& file,
                                    const ServeConsole& console) {
    if (!file) return NightState{};
    NightLoad load = loadNightFile(*file);
    const std::string name = displayName(*file);
    switch (load.outcome) {
        case NightLoad::Outcome::unreadable:
            console.error(cannotReadNight(name, load.error));
            return std::nullopt;
        case NightLoad::Outcome::damagedKept:
            console.error(nightDamaged(name, displayName(load.keptAs)));
            break;
        case NightLoad::Outcome::damagedNotKept:
            console.error(nightDamagedNotKept(name, load.error));
            break;
        case NightLoad::Outcome::none:
        case NightLoad::Outcome::loaded: break;
    }
    return std::move(load.night);
}

// With --lan or --listen: this machine's addresses (which requests may name)
// and the address phones join at. A server asked to listen everywhere on a
// machine without a network address listens on loopback only.
void chooseNetwork(ListenAddress& address, ServeSetup& setup, const ServeConsole& console) {
    if (address.host == "127.0.0.1") return;
    const std::vector<InterfaceAddress> own = interfaceAddresses();
    for (const InterfaceAddress& item : own) setup.addresses.push_back(item.address);
    const std::optional<std::string> join =
        address.host == "0.0.0.0" ? joinAddress(own) : std::optional(address.host);
    if (join && !join->starts_with("127.")) {
        setup.joinUrl = "http://" + *join + ":" + std::to_string(address.port) + "/sing";
    } else if (address.host == "0.0.0.0") {
        console.line(kNoNetworkAddress);
        address.host = "127.0.0.1";
        setup.addresses.clear();
    }
}

// The PIN asked for or a new one, and the night's own salt, so that a
// phone's entries stay its own across a restart; a new night gets a new one.
ServeSetup setupFor(const ServeRequest& request, NightState night) {
    ServeSetup setup;
    setup.pin = request.pin.empty() ? randomPin() : request.pin;
    const std::optional<Salt> kept = saltFromText(night.phoneSalt);
    setup.salt = kept ? *kept : randomSalt();
    night.phoneSalt = saltText(setup.salt);
    setup.night = std::move(night);
    return setup;
}

}  // namespace

std::optional<int> parsePort(std::string_view text) {
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    if (error != std::errc{} || end != text.data() + text.size() || port < kMinPort || port > kMaxPort) {
        return std::nullopt;
    }
    return port;
}

std::string refusedPort(const std::string& text) {
    return parsePort(text) ? std::string{} : help::notPort(text, kMinPort, kMaxPort);
}

std::string refusedListenAddress(const std::string& text) {
    return ipv4Address(text) ? std::string{} : help::notIpv4Address(text);
}

std::string refusedPin(const std::string& text) {
    return validPin(text) ? std::string{} : help::notPin(text, kMinPinDigits, kMaxPinDigits);
}

bool runServe(const ServeRequest& request, std::span<const WebAsset> pages,
              const ServeConsole& console) {
    SongDatabase database;
    if (const auto error = database.open(request.databaseFolder);
        error != SongDatabase::OpenError::none) {
        // The line convert prints, where convert prints it.
        console.line(databaseOpenFailure(error, request.databaseFolder));
        return false;
    }
    // Opened now, so that a soundfont that is not there stops the server
    // before anyone opens the page.
    RandomAccessFile soundFont;
    if (!soundFont.open(request.soundFont)) {
        console.error(cannotOpenInput(request.soundFont, errno));
        return false;
    }
    CatalogueLoad load = loadCatalogue(database, searchCacheFolder());
    if (load.outOfMemory) {
        console.error(kCatalogueTooLarge);
        return false;
    }
    std::optional<NightState> night = loadNight(request.stateFile, console);
    if (!night) return false;

    ServeSetup setup = setupFor(request, std::move(*night));
    ListenAddress address{request.listen, request.port};
    chooseNetwork(address, setup, console);
    const std::string joinUrl = setup.joinUrl;
    const std::string pin = setup.pin;
    ServeApi api(database, std::move(load.entries), pages, std::move(setup));
    std::optional<NightKeeper> keeper;
    if (request.stateFile) {
        keeper.emplace(api, *request.stateFile,
                       [&console, file = displayName(*request.stateFile)](int error) {
                           console.error(cannotSaveNight(file, error));
                       });
    }
    const int error = runHttpServer(
        api, soundFont, address,
        [&] {
            console.line(serveReady(request.port));
            if (!joinUrl.empty()) {
                console.line(joinAddressLine(joinUrl));
                console.line(hostPinLine(pin));
            }
        },
        [] { return interrupted(); });
    keeper.reset();
    if (error != 0) {
        console.error(cannotListen(address.host, address.port, error < 0 ? 0 : error));
        return false;
    }
    return true;
}

}  // namespace kdb2mid
