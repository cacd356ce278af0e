// `kdb2mid serve` from start to stop: the database opened, the soundfont
// checked, the catalogue loaded (through the search cache), the night read
// from its state file, the address to listen on and the one phones join at
// chosen, then the server run until Ctrl-C or SIGTERM, the night kept in its
// file after every change.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <span>
#include <string_view>

#include "serve/web_assets.hpp"

namespace kdb2mid {

inline constexpr int kDefaultServePort = 8080;
inline constexpr int kMinPort = 1;
inline constexpr int kMaxPort = 65535;

struct ServeRequest {
    std::filesystem::path databaseFolder;
    std::filesystem::path soundFont;
    int port = kDefaultServePort;
    std::string listen = "127.0.0.1";  // --listen ADDR; "0.0.0.0" with --lan
    std::string pin;                   // --pin; "" draws one
    std::optional<std::filesystem::path> stateFile;  // nothing: the night is not kept
};

// Where what the server says goes, as it happens: `line` for standard
// output (the address to open, and for whoever started the server and
// waits for it), `error` for failure and warning lines.
struct ServeConsole {
    std::function<void(std::string_view)> line;
    std::function<void(std::string_view)> error;
};

// Serves pages (the program's webAssets()) until the run is interrupted
// (io/interruption.hpp). False when it could not start or listen, having
// said why.
bool runServe(const ServeRequest& request, std::span<const WebAsset> pages,
              const ServeConsole& console);

// A port number from kMinPort to kMaxPort, in decimal digits only.
std::optional<int> parsePort(std::string_view text);

// Why the value of --port, --listen or --pin is refused; "" when it is taken.
std::string refusedPort(const std::string& text);
std::string refusedListenAddress(const std::string& text);
std::string refusedPin(const std::string& text);

}  // namespace kdb2mid
