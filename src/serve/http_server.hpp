// The network edge of `kdb2mid serve`: cpp-httplib listens, reads each
// request (bodies bounded by kMaxBodyBytes) and sends what ServeApi
// answers; the soundfont goes out from disk a block at a time, never read
// whole. Prints nothing: the caller hears of readiness and failure.
#pragma once

#include <functional>
#include <string>

#include "io/file_io.hpp"
#include "serve/serve_api.hpp"

namespace kdb2mid {

struct ListenAddress {
    std::string host = "127.0.0.1";
    int port = 8080;
};

// Listens on address and answers through api until stopRequested() holds
// (asked every 50 ms); ready() is called once the port accepts connections.
// Returns 0 after a stop, else why it could not listen as an errno value
// (EADDRINUSE for a port in use; -1 when the reason is not known).
int runHttpServer(ServeApi& api, const RandomAccessFile& soundFont, const ListenAddress& address,
                  const std::function<void()>& ready, const std::function<bool()>& stopRequested);

}  // namespace kdb2mid
