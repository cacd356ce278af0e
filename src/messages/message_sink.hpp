// Where a command's lines go as they come: its results to `line` (standard
// output), its failure and notice lines to `error` (standard error). The
// command line hands its printing here; the libraries below it never print.
#pragma once

#include <functional>
#include <string_view>

namespace kdb2mid {

struct MessageSink {
    std::function<void(std::string_view)> line;
    std::function<void(std::string_view)> error;
};

}  // namespace kdb2mid
