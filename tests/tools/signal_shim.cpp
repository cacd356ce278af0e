// Loaded with LD_PRELOAD by the interruption tests: raises the signal
// KDB2MID_TEST_SIGNAL at the KDB2MID_TEST_SIGNAL_AT-th fwrite() to a file
// other than standard output and standard error, so that the signal arrives
// while an output is being written, every time.
#include <dlfcn.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

using FwriteFunction = std::size_t (*)(const void*, std::size_t, std::size_t, std::FILE*);

std::atomic<long> writes{0};

long settingOf(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? 0 : std::strtol(value, nullptr, 10);
}

}  // namespace

extern "C" std::size_t fwrite(const void* data, std::size_t size, std::size_t count,
                              std::FILE* stream) {
    static const auto real = reinterpret_cast<FwriteFunction>(dlsym(RTLD_NEXT, "fwrite"));
    static const long at = settingOf("KDB2MID_TEST_SIGNAL_AT");
    static const long signal = settingOf("KDB2MID_TEST_SIGNAL");
    if (stream != stdout && stream != stderr && at > 0 && ++writes == at) {
        std::raise(static_cast<int>(signal));
    }
    return real(data, size, count, stream);
}
