// Karaoke videos made from a generated lyric document and a few seconds of
// synthetic sound, read back by FFmpeg's own programs: the streams ffprobe
// sees, and frames at word times against FFmpeg's ass filter drawing the
// same document.
#include "video/karaoke_video.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>

#include "export/ass_file.hpp"
#include "test_support.hpp"
#include "video/yuv_colour.hpp"

namespace kdb2mid {
namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr int kRate = 44100;
constexpr double kSeconds = 7;

// 240 ticks a second at the default tempo. The title card shows until 1.1 s,
// the countdown from 0.6 s, the first line from 1.6 s; the last line is sung
// from 4.6 s and leaves at 6.5 s.
std::string lyricDocument() {
    const auto at = [](double seconds) { return static_cast<std::uint64_t>(seconds * 240); };
    const TimedLyrics lyrics{{"Bài ca", "Người hát"},
                             {TimedLine{{{"Một", at(3.6)}, {"bài", at(3.9)}, {"ca", at(4.2)}}},
                              TimedLine{{{"Việt", at(4.6)}, {"Nam", at(5.0)}, {"ơi", at(5.4)}}}}};
    return writeAss({lyrics, TempoMap{}, "test"});
}

std::vector<float> tone(double seconds) {
    std::vector<float> samples(2 * static_cast<std::size_t>(seconds * kRate));
    for (std::size_t i = 0; i < samples.size() / 2; ++i) {
        const auto value = static_cast<float>(
            0.3 * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(i) / kRate));
        samples[2 * i] = value;
        samples[2 * i + 1] = -value;
    }
    return samples;
}

std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string quote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a program found on PATH; its standard output and error as text.
test::RunResult runProgram(const std::vector<std::string>& command) {
    test::TempDir capture;
    std::string line;
    for (const std::string& arg : command) {
        line += quote(arg);
        line += ' ';
    }
    line += '>';
    line += quote((capture / "out").string());
    line += " 2>";
    line += quote((capture / "err").string());
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, readBytes(capture / "out"),
            readBytes(capture / "err")};
}

bool haveFfmpeg() {
    return std::system("command -v ffmpeg >/dev/null && command -v ffprobe >/dev/null") == 0;
}

PreparedVideo prepared(Background background = {}) {
    PreparedVideo video;
    VideoSettings settings;
    settings.size = {kWidth, kHeight};
    settings.background = std::move(background);
    EXPECT_TRUE(prepareVideo(settings, video).ok());
    return video;
}

// The frames with these numbers as RGB, decoded by ffmpeg from input after
// the filters, with the colour matrix the picture was made in: ours are
// BT.709 as HD video should be, FFmpeg's ass filter draws in BT.601.
std::vector<std::string> framesOf(std::vector<std::string> input, const std::string& filters,
                                  const char* matrix, const std::vector<int>& frames,
                                  const std::filesystem::path& raw) {
    std::string select = "select='";
    for (std::size_t i = 0; i < frames.size(); ++i) {
        select += (i == 0 ? "eq(n\\," : "+eq(n\\,") + std::to_string(frames[i]) + ")";
    }
    select += "',scale=in_color_matrix=" + std::string(matrix) + ":in_range=tv,format=rgb24";
    std::vector<std::string> command{"ffmpeg", "-nostdin", "-v", "error"};
    command.insert(command.end(), input.begin(), input.end());
    command.insert(command.end(), {"-vf", filters + select, "-fps_mode", "passthrough", "-f",
                                   "rawvideo", "-y", raw.string()});
    const test::RunResult run = runProgram(command);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string bytes = readBytes(raw);
    const std::size_t frameSize = kWidth * kHeight * 3;
    std::vector<std::string> pictures;
    for (std::size_t at = 0; at + frameSize <= bytes.size(); at += frameSize) {
        pictures.push_back(bytes.substr(at, frameSize));
    }
    return pictures;
}

// The mean difference of two RGB pictures where either shows lyrics (is not
// the black background), so that the measure does not shrink with the empty
// rest of the frame.
double lyricDifference(const std::string& a, const std::string& b) {
    constexpr int kInk = 24;  // of the three channels together
    double sum = 0;
    std::size_t count = 0;
    const auto byte = [](const std::string& picture, std::size_t i) {
        return static_cast<int>(static_cast<unsigned char>(picture[i]));
    };
    for (std::size_t i = 0; i + 2 < a.size(); i += 3) {
        const int x = byte(a, i) + byte(a, i + 1) + byte(a, i + 2);
        const int y = byte(b, i) + byte(b, i + 1) + byte(b, i + 2);
        if (x <= kInk && y <= kInk) continue;
        for (std::size_t c = 0; c < 3; ++c) sum += std::abs(byte(a, i + c) - byte(b, i + c));
        count += 3;
    }
    return count == 0 ? 0 : sum / static_cast<double>(count);
}

TEST(KaraokeVideo, StreamsAndFramesAsFfmpegReadsAndDrawsThem) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
    test::TempDir work;
    const std::string document = lyricDocument();
    std::ofstream(work / "song.ass", std::ios::binary) << document;
    const std::vector<float> sound = tone(kSeconds);
    VideoStats stats;
    double progress = 0;
    KaraokeVideoInput input{document, sound, kRate,
                            [&progress](double seconds) { progress = seconds; }};
    const VideoStatus status = writeKaraokeVideo(prepared(), input, work / "song.mp4", &stats);
    ASSERT_TRUE(status.ok()) << status.detail;
    EXPECT_EQ(work.files(), (std::vector<std::string>{"song.ass", "song.mp4"}));
    EXPECT_EQ(stats.frames, static_cast<std::uint64_t>(kSeconds * 25));
    EXPECT_EQ(progress, kSeconds);
    // Still stretches (the first line before it is sung, the silence at the
    // end) reuse the frame before.
    EXPECT_LT(stats.redrawn, stats.frames * 3 / 4);
    EXPECT_GT(stats.redrawn, 10U);

    const test::RunResult probe =
        runProgram({"ffprobe", "-v", "error", "-show_entries",
                    "stream=codec_type,codec_name,width,height,pix_fmt,channels,duration", "-of",
                    "json", (work / "song.mp4").string()});
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    const nlohmann::json streams = nlohmann::json::parse(probe.out).at("streams");
    ASSERT_EQ(streams.size(), 2U) << probe.out;
    double durations[2] = {};
    for (const nlohmann::json& stream : streams) {
        const bool video = stream.at("codec_type") == "video";
        durations[video ? 0 : 1] = std::stod(stream.at("duration").get<std::string>());
        if (video) {
            EXPECT_EQ(stream.at("codec_name"), "h264");
            EXPECT_EQ(stream.at("width"), kWidth);
            EXPECT_EQ(stream.at("height"), kHeight);
            EXPECT_EQ(stream.at("pix_fmt"), "yuv420p");
        } else {
            EXPECT_EQ(stream.at("codec_name"), "aac");
            EXPECT_EQ(stream.at("channels"), 2);
        }
    }
    EXPECT_NEAR(durations[0], kSeconds, 0.25);
    EXPECT_NEAR(durations[1], kSeconds, 0.25);
    EXPECT_NEAR(durations[0], durations[1], 0.25);
    // The index comes before the pictures and sound (+faststart).
    const std::string file = readBytes(work / "song.mp4");
    EXPECT_LT(file.find("moov"), file.find("mdat"));

    // The title card, the countdown over the first line, a word half sung and
    // the next one, a Vietnamese line being sung.
    const std::vector<int> frames{12, 65, 100, 106, 130};
    const std::vector<std::string> ours =
        framesOf({"-i", (work / "song.mp4").string()}, "", "bt709", frames, work / "ours.rgb");
    const std::vector<std::string> reference =
        framesOf({"-f", "lavfi", "-i", "color=c=black:s=640x360:r=25:d=7"},
                 "format=yuv420p,ass=" + (work / "song.ass").string() + ",", "bt601", frames,
                 work / "ref.rgb");
    ASSERT_EQ(ours.size(), frames.size());
    ASSERT_EQ(reference.size(), frames.size());
    // Per channel, on the 0..255 scale, over the pixels that show lyrics:
    // ours is 1.2 to 1.7 from FFmpeg's picture of the same moment (encoding
    // loss, rounding), and 8 or more from the closest other moment (0.24 s
    // on, one more word lit). 4 is half way, in ratio.
    constexpr double kSameMoment = 4;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        for (std::size_t j = 0; j < frames.size(); ++j) {
            const double apart = lyricDifference(ours[i], reference[j]);
            if (i == j) {
                EXPECT_LT(apart, kSameMoment) << "frame " << frames[i];
            } else {
                EXPECT_GT(apart, kSameMoment) << "frames " << frames[i] << ", " << frames[j];
            }
        }
    }
}

// A stereo tone streamed in order from its start, as loud as level.
StreamedStereo streamedTone(double seconds, double level) {
    const std::size_t samples = 2 * static_cast<std::size_t>(seconds * kRate);
    return {samples, [level, at = std::size_t{0}](std::span<float> out) mutable {
                for (float& sample : out) {
                    const double t = static_cast<double>(at++ / 2) / kRate;
                    sample = static_cast<float>(level * std::sin(2 * std::numbers::pi * 440 * t));
                }
            }};
}

// A split song's two tracks, each handed over as it is encoded, read back by
// FFmpeg: titled, the first the default, each as loud as what was streamed
// into it (so neither was read twice nor fed the other's samples). Tracks of
// different lengths are refused.
TEST(KaraokeVideo, TwoStreamedTracksAreTitledAndEachHoldsItsOwnSound) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg and ffprobe are needed";
    test::TempDir work;
    const std::string document = lyricDocument();
    KaraokeVideoInput input{document, {}, kRate, {}};
    input.streamed = streamedTone(kSeconds, 0.4);
    input.second = streamedTone(kSeconds, 0.1);
    input.firstTitle = "Karaoke";
    input.secondTitle = "Guide melody";
    ASSERT_TRUE(writeKaraokeVideo(prepared(), input, work / "song.mp4").ok());
    const test::RunResult probe = runProgram(
        {"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries",
         "stream=duration:stream_disposition=default:stream_tags=handler_name", "-of", "csv=p=0",
         (work / "song.mp4").string()});
    ASSERT_EQ(probe.exitCode, 0) << probe.err;
    EXPECT_NE(probe.out.find(",1,Karaoke\n"), std::string::npos) << probe.out;
    EXPECT_NE(probe.out.find(",0,Guide melody\n"), std::string::npos) << probe.out;
    for (const auto& [track, level] : {std::pair{"0:a:0", 0.4}, std::pair{"0:a:1", 0.1}}) {
        const test::RunResult pcm =
            runProgram({"ffmpeg", "-nostdin", "-v", "error", "-i", (work / "song.mp4").string(),
                        "-map", track, "-f", "f32le", "-"});
        ASSERT_EQ(pcm.exitCode, 0) << pcm.err;
        std::vector<float> samples(pcm.out.size() / sizeof(float));
        std::memcpy(samples.data(), pcm.out.data(), samples.size() * sizeof(float));
        double sum = 0;
        for (const float sample : samples) {
            sum += static_cast<double>(sample) * static_cast<double>(sample);
        }
        const double rms = std::sqrt(sum / static_cast<double>(samples.size()));
        EXPECT_NEAR(rms, level / std::numbers::sqrt2, level * 0.05) << track;
    }

    input.second = streamedTone(kSeconds / 2, 0.1);
    EXPECT_EQ(writeKaraokeVideo(prepared(), input, work / "short.mp4").code,
              VideoStatus::Code::noAudio);
}

TEST(KaraokeVideo, PictureBackgroundIsScaledToFit) {
    if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is needed";
    test::TempDir work;
    // A red 2:1 picture fills the width of the 16:9 frame; bars above and
    // below. Colons in names are no protocols to us.
    const test::RunResult made = runProgram({"ffmpeg", "-nostdin", "-v", "error", "-f", "lavfi",
                                             "-i", "color=c=red:s=200x100", "-frames:v", "1",
                                             "file:" + (work / "red:1.png").string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const PreparedVideo video = prepared({{}, work / "red:1.png"});
    const auto luma = [&video](int x, int y) {
        return int(video.background[static_cast<std::size_t>(y * kWidth + x)]);
    };
    const Yuv red = toYuv({255, 0, 0});
    EXPECT_NEAR(luma(kWidth / 2, kHeight / 2), red.y, 2);
    EXPECT_NEAR(luma(2, kHeight / 2), red.y, 2);
    EXPECT_EQ(luma(kWidth / 2, 5), 16);
    EXPECT_EQ(luma(kWidth / 2, kHeight - 5), 16);
    EXPECT_NEAR(video.background[kWidth * kHeight + (kHeight / 4) * (kWidth / 2) + kWidth / 4],
                red.u, 2);

    const std::vector<float> sound = tone(0.5);
    EXPECT_TRUE(
        writeKaraokeVideo(video, {lyricDocument(), sound, kRate, {}}, work / "v:1.mp4").ok());
    EXPECT_TRUE(std::filesystem::exists(work / "v:1.mp4"));
}

TEST(KaraokeVideo, UnusableBackgroundsAreNamed) {
    test::TempDir work;
    std::ofstream(work / "notes.txt") << "not a picture\n";
    std::filesystem::create_directory(work / "folder");
    const std::pair<std::string, VideoStatus::Code> cases[] = {
        {"missing.png", VideoStatus::Code::backgroundMissing},
        {"notes.txt", VideoStatus::Code::backgroundNotImage},
        {"folder", VideoStatus::Code::backgroundNotImage},
    };
    for (const auto& [name, code] : cases) {
        VideoSettings settings;
        settings.background.image = work / name;
        PreparedVideo video;
        EXPECT_EQ(prepareVideo(settings, video).code, code) << name;
    }
}

// A video that fails leaves no file behind and an existing one as it was.
TEST(KaraokeVideo, FailureLeavesTheFolderAsItWas) {
    test::TempDir work;
    std::ofstream(work / "song.mp4") << "earlier";
    const PreparedVideo video = prepared();
    const std::string document = lyricDocument();
    const std::vector<float> sound = tone(0.5);
    const struct {
        std::string_view document;
        std::span<const float> sound;
        int rate;
        VideoStatus::Code code;
    } cases[] = {
        {document, {}, kRate, VideoStatus::Code::noAudio},
        {document, std::span(sound).first(3), kRate, VideoStatus::Code::noAudio},
        {document, sound, 1000, VideoStatus::Code::noAudio},
        {"not a lyric document", sound, kRate, VideoStatus::Code::subtitles},
    };
    for (const auto& test : cases) {
        const VideoStatus status =
            writeKaraokeVideo(video, {test.document, test.sound, test.rate, {}}, work / "song.mp4");
        EXPECT_EQ(status.code, test.code) << test.document;
        EXPECT_EQ(work.files(), std::vector<std::string>{"song.mp4"});
        EXPECT_EQ(readBytes(work / "song.mp4"), "earlier");
    }
    const VideoStatus status =
        writeKaraokeVideo(video, {document, sound, kRate, {}}, work / "none" / "song.mp4");
    EXPECT_EQ(status.code, VideoStatus::Code::output);
    EXPECT_EQ(status.failure.step, OutputFailure::Step::open);
}

}  // namespace
}  // namespace kdb2mid
