// `kdb2mid convert --video`: what the command line refuses before any song,
// and a sample song's video beside its audio, rendered once. The pictures
// themselves are checked in tests/video/ and by tests/scripts/check-video.sh.
#ifdef KDB2MID_HAVE_VIDEO

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "cli/exit_status.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::kSmallSoundFont;

class ConvertVideoCommand : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kSmallSoundFont)) {
            GTEST_SKIP() << kSmallSoundFont << " missing (timgm6mb-soundfont)";
        }
    }
    test::RunResult convert(std::vector<std::string> args) {
        // --soundfont without an output that renders sound is itself refused.
        if (std::find(args.begin(), args.end(), "--video") != args.end()) {
            args.insert(args.begin(), {"--soundfont", kSmallSoundFont.string()});
        }
        args.insert(args.begin(),
                    {"convert", "50004", "-C", test::sampleDatabaseDir().string(), "-q"});
        args.insert(args.end(), {"-o", (work_ / "out").string()});
        return test::runTool(work_.path(), args);
    }
    test::TempDir work_;
};

// Each is one line on standard error, exit status 2, and no file written.
TEST_F(ConvertVideoCommand, RefusedBeforeAnySong) {
    std::ofstream(work_ / "notes.txt") << "not a picture\n";
    const struct {
        std::vector<std::string> args;
        const char* line;
    } cases[] = {
        {{"--video", "--video-size", "1281x720"}, "--video-size 1281x720: give WIDTHxHEIGHT"},
        {{"--video", "--video-size", "4000x3000"}, "--video-size 4000x3000: give WIDTHxHEIGHT"},
        {{"--video", "--background", "#12345"}, "--background #12345: give black, #RRGGBB"},
        {{"--video-size", "640x360"}, "--video-size needs --video"},
        {{"--background", "black"}, "--background needs --video"},
        {{"--video", "--background", "missing.png"},
         "kdb2mid convert: --background missing.png: give black, #RRGGBB or a picture file "
         "(missing.png: No such file or directory)\n"},
        {{"--video", "--background", "notes.txt"},
         "kdb2mid convert: --background notes.txt: give black, #RRGGBB or a picture file "
         "(notes.txt: it is not a picture)\n"},
    };
    for (const auto& test : cases) {
        const test::RunResult run = convert(test.args);
        EXPECT_EQ(run.exitCode, kExitUsage) << test.line;
        EXPECT_NE(run.err.find(test.line), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(work_ / "out" / "50004.mid")) << test.line;
    }
}

TEST_F(ConvertVideoCommand, VideoBesideItsAudioAndResumed) {
    const std::vector<std::string> args{"--video", "--video-size", "320x240", "--background",
                                        "#203040", "--audio",      "wav",     "--mute-melody"};
    test::RunResult run = convert(args);
    ASSERT_EQ(run.exitCode, kExitSuccess) << run.err;
    for (const char* name : {"50004.mid", "50004.wav", "50004.mp4"}) {
        EXPECT_TRUE(std::filesystem::exists(work_ / "out" / name)) << name;
    }
    // No temporary file is left beside them.
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(work_ / "out"))
        ++files;
    EXPECT_EQ(files, 5U);  // and the song's two chorus recordings

    const auto written = std::filesystem::last_write_time(work_ / "out" / "50004.mp4");
    std::vector<std::string> again = args;
    again.push_back("--resume");
    run = convert(again);
    EXPECT_EQ(run.exitCode, kExitSuccess) << run.err;
    EXPECT_EQ(std::filesystem::last_write_time(work_ / "out" / "50004.mp4"), written);
}

}  // namespace
}  // namespace kdb2mid

#endif  // KDB2MID_HAVE_VIDEO
