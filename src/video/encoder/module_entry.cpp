// The module's entry: the table of its functions (video/video_module.hpp).
#include "video/encoder/encoder.hpp"
#include "video/video_module.hpp"

extern "C" __attribute__((visibility("default"))) const kdb2mid::VideoModule*
kdb2mid_video_module() {
    static const kdb2mid::VideoModule functions{kdb2mid::prepareEncoder, kdb2mid::encodeVideo};
    return &functions;
}
