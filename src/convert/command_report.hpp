// What a whole command tells its user, in order: lines for standard output,
// lines for standard error, and whether it failed.
#pragma once

#include <string>
#include <vector>

namespace kdb2mid {

struct CommandReport {
    std::vector<std::string> lines;
    std::vector<std::string> errors;
    bool failed = false;
};

}  // namespace kdb2mid
