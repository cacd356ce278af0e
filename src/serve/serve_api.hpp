// What `kdb2mid serve` answers, as a pure function of the request: method,
// target, headers, body and the peer's address in, status, content type and
// body out. The HTTP library at the edge (http_server.hpp) only carries
// bytes to and from it; every address the server has is matched here,
// against fixed names:
//
//   GET  /, /NAME            the pages (web_assets.hpp); "/" is index.html
//   GET  /soundfont          the soundfont, streamed by the edge from disk
//   GET  /join.svg           the join address as a QR code (404 without one)
//   GET  /api/songs/N        what `kdb2mid info --json N` prints
//   GET  /api/songs/N/karaoke  what the TV page plays (karaoke_song.hpp)
//   GET  /api/queue          the night (night_file.hpp, nightJson)
//   POST /api/queue          {"song":N,"singer":"...","key":K}: 201 {"entry":ENTRY}
//   DELETE /api/queue/ID     the entry's own phone, or the host: the night
//   POST /api/queue/move     host: {"id":ID,"to":POS}: the night
//   POST /api/queue/next     host: {"after":ID} optional: the night
//   POST /api/controls       host: {"paused","key","tempo","guide"}, any of them
//   GET  /api/events         the night pushed as Server-Sent Events (the edge
//                            streams them through nextEvent)
//   GET  /api/search?q=TEXT&limit=N  {"results":[{"song","title","second"}]}
//   GET  /api/keys?singer=NAME&song=N  {"usual":K|null,"song":K|null}
//   GET  /api/me             {"phone":ID or "","host":bool}
//   GET  /api/pin            this machine's own screen only: {"pin":"1234"}
//   GET  /api/join           {"url":"http://ADDRESS:PORT/sing" or null}
//
// Who asks: a phone sends its token in X-Kdb2mid-Phone (guest_access.hpp);
// the host is this machine's screen (a loopback peer) or whoever sends the
// night's PIN in X-Kdb2mid-Pin.
//
// HEAD is answered wherever GET is. Every refusal is {"error":"one sentence"}
// with its status, and changes nothing: 400 a malformed body, field or
// header, 403 a request not addressed to this machine or a host action
// without the PIN, 404 no such address, song or entry, 405 a method the
// address does not take (with the methods it does), 409 a full queue or
// nothing playing, 413 a body over 16 KB, 414 an address over 2 KB, 422 a
// song whose record cannot be converted, 429 a phone with 20 songs waiting
// or too many wrong PINs, 500 SONG.DAT unreadable or memory short.
// Safe from several threads at once.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/song_database.hpp"
#include "search/catalogue.hpp"
#include "serve/guest_access.hpp"
#include "serve/night_state.hpp"
#include "serve/web_assets.hpp"

namespace kdb2mid {

inline constexpr std::size_t kMaxBodyBytes = 16 * 1024;
inline constexpr std::string_view kJsonType = "application/json";
inline constexpr std::string_view kEventsType = "text/event-stream";
// /api/search: the longest query, the most results and how many by default.
inline constexpr std::size_t kMaxSearchQueryBytes = 200;
inline constexpr std::size_t kMaxSearchResults = 100;
inline constexpr std::size_t kDefaultSearchResults = 30;
// A stream with nothing to say says ": ping" this often, so that a
// connection whose phone is gone is found and closed.
inline constexpr std::chrono::seconds kEventPingInterval{15};
// The night of this many recent versions is kept, so that a stream that
// falls behind a burst of changes still sends each of them in turn.
inline constexpr std::size_t kRecentStates = 64;

struct ServeReply {
    int status = 200;
    std::string_view contentType = kJsonType;
    std::string body;                  // JSON; empty when asset, soundFont or events says what to send
    const WebAsset* asset = nullptr;   // an embedded page to send
    bool soundFont = false;            // the edge streams the soundfont
    bool events = false;               // the edge streams the night (nextEvent)
    std::string_view allow;            // with 405: the methods the address takes
};

struct ApiRequest {
    std::string_view method;
    std::string_view target;
    std::string_view host;   // the Host header
    std::string_view body;   // at most kMaxBodyBytes (the edge refuses longer ones, as refusal(413))
    std::string_view peer;   // the connection's remote address, from the socket
    std::string_view phone;  // the X-Kdb2mid-Phone header, "" without one
    std::string_view pin;    // the X-Kdb2mid-Pin header, "" without one
    std::string_view origin; // the Origin header, "" without one
    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
};

// What the server starts with besides the database.
struct ServeSetup {
    std::string pin;                     // the host's PIN; "" lets no phone be host
    std::vector<std::string> addresses;  // this machine's interface addresses, with --lan
    std::string joinUrl;                 // what phones open; "" without one
    Salt salt{};                         // for the phones' public ids (randomSalt())
    NightState night;                    // the night so far (the state file's)
};

class ServeApi {
public:
    // database stays open and unchanged while the server runs; catalogue
    // names the queue's songs (search/catalogue_store.hpp loads it).
    ServeApi(const SongDatabase& database, std::vector<CatalogueEntry> catalogue,
             std::span<const WebAsset> assets, ServeSetup setup = {});

    // The Host header must name this machine: its loopback names, and with
    // addresses in the setup those too, so that a page from elsewhere cannot
    // reach the server through a name of its own that points here. A request
    // that changes something and carries an Origin must come from a page of
    // this server: a page elsewhere open in this machine's browser would
    // otherwise act as its screen, the host. Never throws.
    ServeReply answer(const ApiRequest& request);
    // The same request from this machine's own screen, without headers but Host.
    ServeReply answer(std::string_view method, std::string_view target, std::string_view host,
                      std::string_view body);

    // The answer for a request refused before it reached answer() (by the
    // HTTP library: 400 unreadable, 413 body too large, 414 address too
    // long; by the edge: 429 too many event streams).
    static ServeReply refusal(int status);

    // The next thing an event stream sends: with seen empty the night now
    // ("event: state", its version as id, its JSON as data); else once the
    // night's version is no longer *seen the night at the next version
    // (the night now when that one is no longer kept), or ": ping" after
    // wait without a change. seen is updated. Nothing once stopStreams() was
    // called: the stream ends.
    std::optional<std::string> nextEvent(std::optional<std::uint64_t>& seen,
                                         std::chrono::milliseconds wait);
    // Ends every nextEvent waiting, and every later one.
    void stopStreams();

    // The night's version once it is no longer written, or after wait;
    // nothing once stopStreams() was called.
    std::optional<std::uint64_t> waitForChange(std::uint64_t written,
                                               std::chrono::milliseconds wait);
    // The state file's bytes of the night now, and their version.
    std::string nightFile(std::uint64_t& version) const;

private:
    ServeReply route(const ApiRequest& request, bool host, bool pinGiven);
    ServeReply page(std::string_view name, std::string_view method) const;
    ServeReply song(std::int32_t number) const;
    ServeReply karaoke(std::int32_t number) const;
    ServeReply queue();
    ServeReply addToQueue(std::string_view body, const std::string& phone);
    ServeReply removeFromQueue(std::uint64_t id, const std::string& phone, bool host);
    ServeReply moveInQueue(std::string_view body);
    ServeReply nextInQueue(std::string_view body);
    ServeReply setControls(std::string_view body);
    ServeReply search(const std::vector<std::pair<std::string, std::string>>& query) const;
    ServeReply keys(const std::vector<std::pair<std::string, std::string>>& query) const;
    // The reply to a change: the night when done or unchanged, else the refusal.
    ServeReply changed(NightChange change);  // the lock held
    const std::string& stateJson();          // the lock held
    void announce();                         // after a change, the lock held

    const SongDatabase& database_;
    const std::vector<CatalogueEntry> catalogue_;  // in song order
    const std::vector<std::string> folded_;        // foldCatalogue(catalogue_)
    const std::span<const WebAsset> assets_;
    const std::vector<std::string> addresses_;
    const std::string joinUrl_;
    const std::string joinSvg_;  // "" without a join address
    const Salt salt_;

    std::mutex pinLock_;
    PinGuard pins_;

    mutable std::mutex nightLock_;
    std::condition_variable nightChanged_;
    NightState night_;
    bool stopping_ = false;
    std::string stateJson_;  // nightJson(night_) at stateVersion_
    std::optional<std::uint64_t> stateVersion_;
    std::deque<std::pair<std::uint64_t, std::string>> recent_;  // at most kRecentStates
};

}  // namespace kdb2mid
