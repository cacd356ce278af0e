// What `kdb2mid serve` answers, as a pure function of the request: method,
// target and body in, status, content type and body out. The HTTP library
// at the edge (http_server.hpp) only carries bytes to and from it; every
// address the server has is matched here, against fixed names:
//
//   GET  /, /NAME            the pages (web_assets.hpp); "/" is index.html
//   GET  /soundfont          the soundfont, streamed by the edge from disk
//   GET  /api/songs/N        what `kdb2mid info --json N` prints
//   GET  /api/songs/N/karaoke  what the TV page plays (karaoke_song.hpp)
//   GET  /api/queue          {"playing":ENTRY or null,"entries":[ENTRY,...]}
//   POST /api/queue          {"song":N,"singer":"...","key":K} adds an entry: 201 {"entry":ENTRY}
//   POST /api/queue/next     the first entry plays; answers as GET /api/queue
//
// HEAD is answered wherever GET is. Every refusal is {"error":"one sentence"}
// with its status: 400 a malformed body or field, 403 a request not
// addressed to this machine, 404 no such address or song, 405 a method the
// address does not take (with the methods it does), 409 a full queue, 413 a
// body over 16 KB, 414 an address over 2 KB, 422 a song whose record cannot
// be converted, 500 SONG.DAT unreadable or memory short.
// Safe from several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "io/song_database.hpp"
#include "search/catalogue.hpp"
#include "serve/play_queue.hpp"
#include "serve/web_assets.hpp"

namespace kdb2mid {

inline constexpr std::size_t kMaxBodyBytes = 16 * 1024;
inline constexpr std::string_view kJsonType = "application/json";

struct ServeReply {
    int status = 200;
    std::string_view contentType = kJsonType;
    std::string body;                  // JSON; empty when asset or soundFont says what to send
    const WebAsset* asset = nullptr;   // an embedded page to send
    bool soundFont = false;            // the edge streams the soundfont
    std::string_view allow;            // with 405: the methods the address takes
};

class ServeApi {
public:
    // database stays open and unchanged while the server runs; catalogue
    // names the queue's songs (search/catalogue_store.hpp loads it).
    ServeApi(const SongDatabase& database, std::vector<CatalogueEntry> catalogue,
             std::span<const WebAsset> assets);

    // host is the request's Host header: only names of this machine's
    // loopback are answered, so that a page from elsewhere cannot reach the
    // server through a name of its own that points here. body is at most
    // kMaxBodyBytes (the edge refuses longer ones, as refusal(413)).
    // Never throws.
    ServeReply answer(std::string_view method, std::string_view target, std::string_view host,
                      std::string_view body);

    // The answer for a request refused before it reached answer() (by the
    // HTTP library: 400 unreadable, 413 body too large, 414 address too long).
    static ServeReply refusal(int status);

private:
    ServeReply route(std::string_view method, std::string_view target, std::string_view body);
    ServeReply song(std::int32_t number) const;
    ServeReply karaoke(std::int32_t number) const;
    ServeReply queue() const;
    ServeReply addToQueue(std::string_view body);
    ServeReply nextInQueue();
    std::string queueJson() const;  // the lock held

    const SongDatabase& database_;
    const std::vector<CatalogueEntry> catalogue_;  // in song order
    const std::span<const WebAsset> assets_;
    mutable std::mutex queueLock_;
    PlayQueue queue_;
};

// Whether a Host header names this machine's loopback: localhost,
// 127.0.0.1 or [::1], with or without a port.
bool loopbackHost(std::string_view host) noexcept;

}  // namespace kdb2mid
