// The state file on disk: where it is, reading it at start, and a keeper
// that writes the night after every change. File I/O at the server's edge;
// prints nothing.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include "serve/night_state.hpp"
#include "serve/serve_api.hpp"

namespace kdb2mid {

// $XDG_STATE_HOME/kdb2mid/night.json, else $HOME/.local/state/kdb2mid/
// night.json; nothing when neither is set to an absolute path.
std::optional<std::filesystem::path> defaultNightFile(const char* xdgStateHome, const char* home);

struct NightLoad {
    enum class Outcome : std::uint8_t {
        none,            // no file yet: an empty night
        loaded,
        damagedKept,     // damaged, renamed to keptAs; an empty night
        damagedNotKept,  // damaged and could not be renamed (error); an empty night
        unreadable,      // there but cannot be read (error): the night must not start
    };
    Outcome outcome = Outcome::none;
    NightState night;
    std::filesystem::path keptAs;
    int error = 0;
};

// Reads the night from file, at most kMaxNightFileBytes of it (a larger
// file is damaged).
NightLoad loadNightFile(const std::filesystem::path& file);

// Writes text to file complete or not at all: a temporary file beside it
// (io/temporary_output.hpp's name), flushed to the disk, renamed over it.
// 0, or the system's error number.
int writeNightFile(const std::filesystem::path& file, std::string_view text);

// Keeps file up to date with api's night from construction to destruction:
// a change is written within kNightWriteDelay (changes that come closer
// together go out in one write), and the last one when the keeper ends,
// after the server has stopped. failed(error) is called at the first write
// that fails, from the keeper's thread; a later change tries again.
inline constexpr std::chrono::milliseconds kNightWriteDelay{100};

class NightKeeper {
public:
    NightKeeper(ServeApi& api, std::filesystem::path file, std::function<void(int)> failed);
    NightKeeper(const NightKeeper&) = delete;
    NightKeeper& operator=(const NightKeeper&) = delete;
    ~NightKeeper();

private:
    void keep();
    bool write();  // false when the write failed

    ServeApi& api_;
    const std::filesystem::path file_;
    const std::function<void(int)> failed_;
    std::uint64_t written_ = 0;
    bool reported_ = false;
    std::thread thread_;
};

}  // namespace kdb2mid
