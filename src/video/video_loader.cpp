// prepareVideo and writeKaraokeVideo through the video module, loaded on
// first use (video/video_module.hpp).
#include <dlfcn.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <system_error>

#include "io/interruption.hpp"
#include "io/temporary_output.hpp"
#include "video/video_module.hpp"

#ifndef KDB2MID_VIDEO_MODULE_DIR
#define KDB2MID_VIDEO_MODULE_DIR "../lib/kdb2mid"
#endif

namespace kdb2mid {

namespace {

bool runInterrupted() { return interrupted(); }

// The folder of the running executable.
std::filesystem::path executableFolder() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::filesystem::path() : self.parent_path();
}

struct LoadedModule {
    const VideoModule* functions = nullptr;
    std::string failure;  // why it did not load
};

// Beside the executable (the build tree), else where it is installed.
LoadedModule load() {
    const std::filesystem::path folder = executableFolder();
    LoadedModule loaded;
    for (const std::filesystem::path& path :
         {folder / kVideoModuleFile, folder / KDB2MID_VIDEO_MODULE_DIR / kVideoModuleFile}) {
        std::error_code error;
        if (!std::filesystem::exists(path, error)) continue;
        // Kept for the life of the process: threads may be using it until the end.
        void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* why = ::dlerror();
            loaded.failure = why != nullptr ? why : path.string();
            return loaded;
        }
        using Entry = const VideoModule* (*)();
        const auto entry = reinterpret_cast<Entry>(::dlsym(handle, kVideoModuleEntry));
        if (entry != nullptr) loaded.functions = entry();
        if (loaded.functions == nullptr)
            loaded.failure = path.string() + ": not kdb2mid's video module";
        return loaded;
    }
    loaded.failure = std::string(kVideoModuleFile) + " is not installed beside kdb2mid";
    return loaded;
}

const LoadedModule& module() {
    static const LoadedModule loaded = load();
    return loaded;
}

}  // namespace

VideoStatus prepareVideo(const VideoSettings& settings, PreparedVideo& out) {
    const LoadedModule& loaded = module();
    if (loaded.functions == nullptr) return {VideoStatus::Code::noModule, loaded.failure, {}};
    return loaded.functions->prepare(settings, out);
}

VideoStatus writeKaraokeVideo(const PreparedVideo& video, const KaraokeVideoInput& input,
                              const std::filesystem::path& output, VideoStats* stats) {
    const LoadedModule& loaded = module();
    if (loaded.functions == nullptr) return {VideoStatus::Code::noModule, loaded.failure, {}};
    return loaded.functions->write(video, input, output, temporaryOutputName(output),
                                   runInterrupted, stats);
}

}  // namespace kdb2mid
