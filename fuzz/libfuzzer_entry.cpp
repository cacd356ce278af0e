// The libFuzzer entry point of one target; the build names the target's
// function in KDB2MID_FUZZ_TARGET.
#include <cstddef>
#include <cstdint>

#include "fuzz_targets.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kdb2mid::fuzz::KDB2MID_FUZZ_TARGET({data, size});
    return 0;
}
