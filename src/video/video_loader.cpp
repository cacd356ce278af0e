// prepareVideo and writeKaraokeVideo through the video module, loaded on
// first use (video/video_module.hpp).
#include <string>

#include "io/interruption.hpp"
#include "io/run_time_module.hpp"
#include "io/temporary_output.hpp"
#include "video/video_module.hpp"

#ifndef KDB2MID_VIDEO_MODULE_DIR
#define KDB2MID_VIDEO_MODULE_DIR "../lib/kdb2mid"
#endif

namespace kdb2mid {

namespace {

bool runInterrupted() { return interrupted(); }

struct Loaded {
    const VideoModule* functions = nullptr;
    std::string failure;  // why it did not load
};

const Loaded& module() {
    static const Loaded loaded = [] {
        const LoadedModule found =
            loadRunTimeModule(kVideoModuleFile, KDB2MID_VIDEO_MODULE_DIR, kVideoModuleEntry);
        return Loaded{static_cast<const VideoModule*>(found.functions), found.failure};
    }();
    return loaded;
}

}  // namespace

VideoStatus prepareVideo(const VideoSettings& settings, PreparedVideo& out) {
    const Loaded& loaded = module();
    if (loaded.functions == nullptr) return {VideoStatus::Code::noModule, loaded.failure, {}};
    return loaded.functions->prepare(settings, out);
}

VideoStatus writeKaraokeVideo(const PreparedVideo& video, const KaraokeVideoInput& input,
                              const std::filesystem::path& output, VideoStats* stats) {
    const Loaded& loaded = module();
    if (loaded.functions == nullptr) return {VideoStatus::Code::noModule, loaded.failure, {}};
    return loaded.functions->write(video, input, output, temporaryOutputName(output),
                                   runInterrupted, stats);
}

}  // namespace kdb2mid
