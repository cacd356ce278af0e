#include <cstdio>
#include <exception>
#include <span>

#include "convert/command_line.hpp"

int main(int argc, char** argv) {
    try {
        return kdb2mid::runCommandLine(std::span<const char* const>(argv, static_cast<std::size_t>(argc)));
    } catch (const std::exception& error) {
        std::printf("kdb2mid: %s\n", error.what());
    } catch (...) {
        std::printf("kdb2mid: unexpected failure\n");
    }
    return kdb2mid::kExitFailure;
}
