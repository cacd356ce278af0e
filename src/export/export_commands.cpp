#include "export/export_commands.hpp"

#include <cstdio>

namespace kdb2mid {

namespace {
int notBuiltYet() {
    std::puts("This export is not available yet");
    return 1;
}
}  // namespace

int runNamesCommand(const std::filesystem::path&) { return notBuiltYet(); }
int runChorusIndexCommand(const std::filesystem::path&) { return notBuiltYet(); }
int runLegacyCommand(std::int32_t, const std::filesystem::path&) { return notBuiltYet(); }

std::filesystem::path defaultLegacyRoot() {
#ifdef _WIN32
    return "C:\\music\\midi\\pro";
#else
    return {};
#endif
}

}  // namespace kdb2mid
