// Configure-time probe: exits 0 when libsndfile accepts MPEG Layer III for
// writing 44,100 Hz stereo.
#include <sndfile.h>

int main() {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III;
    return sf_format_check(&info) ? 0 : 1;
}
