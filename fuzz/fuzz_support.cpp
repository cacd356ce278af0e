#include <cstdio>
#include <cstdlib>

#include "fuzz_targets.hpp"

namespace kdb2mid::fuzz {

namespace {
std::string& inputName() {
    static std::string name;
    return name;
}
}  // namespace

void setInputName(std::string name) { inputName() = std::move(name); }

void fail(const char* what) {
    if (inputName().empty()) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
    } else {
        std::fprintf(stderr, "fuzz check failed: %s (input %s)\n", what, inputName().c_str());
    }
    std::abort();
}

}  // namespace kdb2mid::fuzz
