#include "serve/http_server.hpp"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "messages/serve_messages.hpp"

namespace kdb2mid {

namespace {

// Requests are answered by this many threads: a TV, a few phones, and the
// soundfont's download beside them.
constexpr std::size_t kWorkerThreads = 4;
// Event streams open at once: a TV and every phone of a large party. httplib
// gives each open connection a thread of its own, so the pool holds one for
// every stream besides the workers; a stream's thread sleeps on a condition
// variable until the night changes.
constexpr int kMaxEventStreams = 200;
// Each connection carries one request and is closed after its answer (on
// loopback a new connection costs next to nothing), so a stop never waits for
// a kept-alive client. A client gets this long to send its request: one that
// connects and stays silent (a browser's speculative connection) holds a
// thread, and a stop, at most this long. The wait must not be shorter: on a
// busy machine a request's bytes can arrive well after its connection, and
// httplib closes a connection unanswered when none came in time.
constexpr time_t kReadSeconds = 1;
// The soundfont goes out in blocks of this size.
constexpr std::size_t kStreamBlock = 64 * 1024;

// The night pushed to one page until it goes or the server stops: its
// state now, again after every change, a ping when there is none.
// streams counts the open ones; this one is counted already.
void sendEvents(ServeApi& api, std::atomic<int>& streams, httplib::Response& res) {
    res.set_header("X-Accel-Buffering", "no");
    auto seen = std::make_shared<std::optional<std::uint64_t>>();
    res.set_chunked_content_provider(
        std::string(kEventsType),
        [&api, seen](std::size_t, httplib::DataSink& sink) {
            const std::optional<std::string> event = api.nextEvent(
                *seen, std::chrono::duration_cast<std::chrono::milliseconds>(kEventPingInterval));
            if (!event) return false;
            return sink.write(event->data(), event->size());
        },
        [&streams](bool) { --streams; });
}

// stopping ends a soundfont still on its way, so that a slow reader does not
// hold the stop up.
void send(const ServeReply& reply, const RandomAccessFile& soundFont,
          const std::atomic<bool>& stopping, httplib::Response& res) {
    res.status = reply.status;
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Cache-Control", "no-cache");
    if (!reply.allow.empty()) res.set_header("Allow", std::string(reply.allow));
    const std::string type(reply.contentType);
    if (reply.asset != nullptr) {
        const std::span<const std::uint8_t> bytes = reply.asset->bytes;
        res.set_content_provider(
            bytes.size(), type,
            [bytes](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                if (offset > bytes.size()) return false;
                const std::size_t count = std::min(length, bytes.size() - offset);
                return sink.write(reinterpret_cast<const char*>(bytes.data() + offset), count);
            });
    } else if (reply.soundFont) {
        res.set_content_provider(
            soundFont.size(), type,
            [&soundFont, &stopping](std::size_t offset, std::size_t length,
                                    httplib::DataSink& sink) {
                if (stopping) return false;
                std::vector<std::uint8_t> block(std::min(length, kStreamBlock));
                if (!soundFont.readAt(offset, block)) return false;
                return sink.write(reinterpret_cast<const char*>(block.data()), block.size());
            });
    } else if (reply.events) {
        res.set_content("", type);  // HEAD: the head of a stream
    } else {
        res.set_content(reply.body, type);
    }
}

// Why host:port cannot be bound, found by trying it: httplib says only that
// it failed.
int bindError(const std::string& host, int port) {
#ifdef _WIN32
    (void)host;
    (void)port;
    return -1;
#else
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    if (inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) return -1;
    const int probe = socket(AF_INET, SOCK_STREAM, 0);
    if (probe < 0) return errno;
    const int yes = 1;
    setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    int error = -1;
    if (bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error = errno;
    }
    close(probe);
    return error;
#endif
}

// Worker threads, bounded bodies, one request a connection and its
// timeouts; the listening socket is noted in listening (not on Windows).
void configure(httplib::Server& server, socket_t& listening) {
    server.new_task_queue = [] {
        return new httplib::ThreadPool(kWorkerThreads + kMaxEventStreams);
    };
    server.set_payload_max_length(kMaxBodyBytes);
    // One request a connection: httplib then says "Connection: close" itself.
    server.set_keep_alive_max_count(1);
    server.set_keep_alive_timeout(kReadSeconds);
    server.set_read_timeout(kReadSeconds, 0);
#ifndef _WIN32
    // httplib's default, SO_REUSEPORT, lets a second server take the same
    // port and share its requests unseen; SO_REUSEADDR alone lets a server
    // restart at once but refuses a port another one listens on.
    server.set_socket_options([&listening](socket_t socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        listening = socket;
    });
#else
    (void)listening;
#endif
}

// The headers the API reads, kept while it reads them: ApiRequest only views them.
struct RequestHeaders {
    std::string host, phone, pin, origin;
};

ApiRequest apiRequest(const httplib::Request& req, RequestHeaders& headers) {
    headers = {req.get_header_value("Host"), req.get_header_value("X-Kdb2mid-Phone"),
               req.get_header_value("X-Kdb2mid-Pin"), req.get_header_value("Origin")};
    ApiRequest request;
    request.method = req.method;
    request.target = req.target;
    request.host = headers.host;
    request.body = req.body;
    request.peer = req.remote_addr;
    request.phone = headers.phone;
    request.pin = headers.pin;
    request.origin = headers.origin;
    return request;
}

// Every request goes to the API, whatever its path ("." matches no line
// end; a decoded path may hold one) and its method.
void routeEverything(httplib::Server& server, const httplib::Server::Handler& toApi) {
    const std::string everything = "[\\s\\S]*";
    server.Get(everything, toApi);
    server.Post(everything, toApi);
    server.Put(everything, toApi);
    server.Patch(everything, toApi);
    server.Delete(everything, toApi);
    server.Options(everything, toApi);
    // Refusals httplib makes itself (a body over the limit, a request line it
    // cannot read) get a JSON sentence like the API's own.
    server.set_error_handler(httplib::Server::HandlerWithResponse(
        [](const httplib::Request&, httplib::Response& res) {
            if (!res.body.empty() || res.content_length_ > 0) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            const ServeReply reply = ServeApi::refusal(res.status);
            res.set_content(reply.body, std::string(reply.contentType));
            return httplib::Server::HandlerResponse::Handled;
        }));
}

}  // namespace

int runHttpServer(ServeApi& api, const RandomAccessFile& soundFont, const ListenAddress& address,
                  const std::function<void()>& ready, const std::function<bool()>& stopRequested) {
    std::atomic<bool> stopping = false;
    std::atomic<int> streams = 0;
    httplib::Server server;
    socket_t listening = INVALID_SOCKET;
    configure(server, listening);
    const httplib::Server::Handler toApi = [&](const httplib::Request& req,
                                               httplib::Response& res) {
        RequestHeaders headers;
        const ApiRequest request = apiRequest(req, headers);
        const ServeReply reply = api.answer(request);
        if (reply.events && req.method == "GET") {
            if (++streams > kMaxEventStreams) {
                --streams;
                send(ServeApi::refusal(429), soundFont, stopping, res);
            } else {
                sendEvents(api, streams, res);
            }
            return;
        }
        send(reply, soundFont, stopping, res);
    };
    routeEverything(server, toApi);
    if (!server.bind_to_port(address.host, address.port)) {
        return bindError(address.host, address.port);
    }
#ifndef _WIN32
    // httplib listens with a queue of 5 connections not yet accepted; when a
    // party's phones all connect at once (the Wi-Fi back after a blip) on a
    // busy machine, the rest would wait a second for the system to retry
    // them. Listening again on the same socket only lengthens the queue.
    if (listening != INVALID_SOCKET) ::listen(listening, SOMAXCONN);
#endif

    std::atomic<bool> ended = false;
    std::thread listener([&] {
        server.listen_after_bind();
        ended = true;
    });
    ready();
    while (!ended && !stopRequested()) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    stopping = true;
    api.stopStreams();
    server.stop();
    listener.join();
    return 0;
}

}  // namespace kdb2mid
