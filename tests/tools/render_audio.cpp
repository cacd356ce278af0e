// Renders MIDI files to audio with the song renderer, for the script test
// (tests/scripts/check-audio.sh) and the benchmark (bench/audio.sh) until
// the command line offers --audio.
//
//   kdb2mid_render_audio [-j N] [-f FORMAT] [--loudness LUFS|off] SOUNDFONT OUTDIR FILE.mid...
//
// Writes OUTDIR/<name>.<format> for each file and one line per song
// (name, seconds, measured LUFS and gain, "limited" when the limiter
// worked), then a total line:
// songs, audio seconds, wall seconds and the real-time factor.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/song_renderer.hpp"
#include "messages/messages.hpp"

namespace {

using namespace kdb2mid;

// A seekable sink over an ordinary file.
class FileAudioSink final : public AudioSink {
public:
    explicit FileAudioSink(const std::filesystem::path& path)
        : file_(std::fopen(path.c_str(), "wb+")) {}
    ~FileAudioSink() override {
        if (file_ != nullptr) std::fclose(file_);
    }
    bool ok() const { return file_ != nullptr; }
    bool write(std::span<const std::uint8_t> bytes) override {
        if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) return false;
        position_ += bytes.size();
        length_ = std::max(length_, position_);
        return true;
    }
    bool seek(std::uint64_t offset) override {
        if (std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) return false;
        position_ = offset;
        return true;
    }
    std::uint64_t tell() const override { return position_; }
    std::uint64_t length() const override { return length_; }
    bool close() {
        const bool closed = std::fclose(file_) == 0;
        file_ = nullptr;
        return closed;
    }

private:
    std::FILE* file_;
    std::uint64_t position_ = 0;
    std::uint64_t length_ = 0;
};

int usage() {
    std::fputs("usage: kdb2mid_render_audio [-j N] [-f wav|flac|ogg|opus|mp3] [--loudness LUFS|off] "
               "SOUNDFONT OUTDIR FILE.mid...\n",
               stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    RenderSettings settings;
    unsigned threads = 1;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "-j" && i + 1 < argc) {
            threads = static_cast<unsigned>(std::stoul(argv[++i]));
        } else if (arg == "-f" && i + 1 < argc) {
            const auto format = parseAudioFormat(argv[++i]);
            if (!format) return usage();
            settings.format = *format;
        } else if (arg == "--loudness" && i + 1 < argc) {
            if (!parseLoudness(argv[++i], settings.loudnessTarget)) return usage();
        } else {
            args.push_back(arg);
        }
    }
    if (args.size() < 3 || threads == 0) return usage();
    const std::filesystem::path soundFont = args[0];
    const std::filesystem::path outDir = args[1];
    const std::vector<std::string> songs(args.begin() + 2, args.end());

    const auto start = std::chrono::steady_clock::now();
    // The first renderer checks the soundfont before any song, as the tool would.
    AudioStatus status;
    std::vector<std::unique_ptr<SongRenderer>> renderers;
    renderers.push_back(SongRenderer::open(soundFont, settings, status));
    if (!status) {
        std::fprintf(stderr, "%s: %s\n", soundFont.c_str(), describe(status).c_str());
        return 2;
    }

    std::atomic<std::size_t> next{0};
    std::atomic<int> failures{0};
    std::mutex printing;
    double audioSeconds = 0.0;
    auto work = [&](std::size_t index) {
        AudioStatus opened;
        if (!renderers[index]) renderers[index] = SongRenderer::open(soundFont, settings, opened);
        if (!renderers[index]) {
            ++failures;
            return;
        }
        SongRenderer& renderer = *renderers[index];
        for (std::size_t i = next++; i < songs.size(); i = next++) {
            const std::filesystem::path song = songs[i];
            std::ifstream in(song, std::ios::binary);
            const std::vector<std::uint8_t> midi{std::istreambuf_iterator<char>(in), {}};
            const auto outPath = outDir / (song.stem().string() + "." +
                                           audioFormatName(settings.format));
            FileAudioSink sink(outPath);
            RenderResult result;
            if (sink.ok()) result = renderer.render(midi, sink);
            const bool closed = sink.ok() && sink.close();
            std::lock_guard lock(printing);
            if (!result.status || !closed) {
                ++failures;
                std::filesystem::remove(outPath);
                std::fprintf(stderr, "%s: %s\n", song.c_str(), describe(result.status).c_str());
                continue;
            }
            audioSeconds += result.seconds;
            const LoudnessFacts& loudness = result.loudness;
            std::printf("%s %.3f s, %.1f LUFS, %+.1f dB%s\n", song.filename().c_str(),
                        result.seconds, loudness.measured.value_or(-HUGE_VAL), loudness.gainDb,
                        loudness.limited ? " limited" : "");
        }
    };
    renderers.resize(threads);
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work, t);
    work(0);
    for (auto& thread : pool) thread.join();

    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("total %zu songs, %.1f s of audio in %.2f s, %.1fx real time\n", songs.size(),
                audioSeconds, wall, audioSeconds / wall);
    return failures == 0 ? 0 : 1;
}
