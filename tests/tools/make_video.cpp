// Makes a karaoke video from an .ass file and a tone of the given length:
// for looking at frames by eye or OCR, and for timing the video writer alone.
//   kdb2mid_make_video SONG.ass SECONDS OUT.mp4 [WIDTHxHEIGHT [BACKGROUND [THREADS]]]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <numbers>
#include <string>
#include <vector>

#include "video/karaoke_video.hpp"

int main(int argc, char** argv) {
    using namespace kdb2mid;
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s SONG.ass SECONDS OUT.mp4 [WIDTHxHEIGHT [BACKGROUND]]\n",
                     argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::string document((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    const double seconds = std::atof(argv[2]);
    VideoSettings settings;
    if (argc > 4) {
        const std::optional<VideoSize> size = parseVideoSize(argv[4]);
        if (!size) return 2;
        settings.size = *size;
    }
    if (argc > 5) {
        const std::optional<Background> background = parseBackground(argv[5]);
        if (!background) return 2;
        settings.background = *background;
    }
    if (argc > 6) settings.encoderThreads = std::atoi(argv[6]);
    PreparedVideo video;
    VideoStatus status = prepareVideo(settings, video);
    if (!status.ok()) {
        std::fprintf(stderr, "prepare: %d %s\n", static_cast<int>(status.code),
                     status.detail.c_str());
        return 1;
    }
    constexpr int kRate = 44100;
    std::vector<float> sound(2 * static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < sound.size(); ++i) {
        sound[i] = static_cast<float>(
            0.2 * std::sin(2 * std::numbers::pi * 220 * static_cast<double>(i / 2) / kRate));
    }
    const auto start = std::chrono::steady_clock::now();
    VideoStats stats;
    status = writeKaraokeVideo(video, {document, sound, kRate, {}}, argv[3], &stats);
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!status.ok()) {
        std::fprintf(stderr, "write: %d %s\n", static_cast<int>(status.code),
                     status.detail.c_str());
        return 1;
    }
    std::printf("%.2f s of video in %.2f s (%.1fx real time), %llu frames, %llu drawn\n", seconds,
                took, seconds / took, static_cast<unsigned long long>(stats.frames),
                static_cast<unsigned long long>(stats.redrawn));
    return 0;
}
