#include "messages/messages.hpp"

#include <gtest/gtest.h>

#include <cerrno>

namespace kdb2mid {
namespace {

// An output that cannot be created or put in place reads as one that cannot
// be opened, as the database's own tools said; only a failure while writing
// is a write failure, with the system's reason when there is one.
TEST(Messages, OutputFailureLines) {
    using Step = OutputFailure::Step;
    struct Case {
        OutputFailure failure;
        const char* line;
    };
    const Case cases[] = {
        {{Step::open, EACCES}, "Cannot open file out/21090.mid for writing"},
        {{Step::place, EISDIR}, "Cannot open file out/21090.mid for writing"},
        {{Step::write, ENOSPC}, "Cannot write file out/21090.mid: No space left on device"},
        {{Step::write, 0}, "Cannot write file out/21090.mid"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(outputFailure(std::filesystem::path("out") / "21090.mid", c.failure), c.line);
    }
}

TEST(Messages, SongLinesNameTheSongAndTheReason) {
    EXPECT_EQ(cannotConvert(21091, describe(RecordLookup::Outcome::empty)),
              "Cannot convert song 21091: it has no record");
    EXPECT_EQ(cannotReadSong(21092, describe(RecordError::tableTooSmall)),
              "Cannot read song 21092: track table has fewer than two entries");
    EXPECT_EQ(cannotExtract(5, describeLegacy(LegacyRecordLocation::Outcome::belowFirstSong)),
              "Cannot extract song 5: song numbers start at 21090");
    EXPECT_EQ(cannotExportChorusPart(21092, 0xFFFFFFFF, couldNotRead(kChorusDataFile)),
              "Cannot export chorus part -1 of song 21092: CHORUS.DAT could not be read");
}

#ifdef KDB2MID_HAVE_AUDIO
// A sink that could not take the file says so in place of the library's words.
TEST(Messages, AudioFailuresNameTheStepAndTheLibrarysWords) {
    struct Case {
        AudioStatus status;
        const char* line;
    };
    const Case cases[] = {
        {{AudioError::midiRefused, AudioStep::noTracks, false, ""},
         "Cannot render song 1: the synthesizer cannot play the MIDI file: no tracks in the MIDI file"},
        {{AudioError::encoderFailed, AudioStep::finishFile, true, "Unspecified internal error."},
         "Cannot render song 1: audio encoding failed: cannot finish the audio file: the output "
         "could not be written"},
        {{AudioError::encoderFailed, AudioStep::encode, false, "Unspecified internal error."},
         "Cannot render song 1: audio encoding failed: cannot encode the audio: Unspecified "
         "internal error."},
        {{AudioError::formatUnsupported, AudioStep::formatUnwritable, false, ""},
         "Cannot render song 1: audio format not supported by this libsndfile"},
    };
    for (const Case& c : cases) EXPECT_EQ(cannotRender(1, describe(c.status)), c.line);
}
#endif

}  // namespace
}  // namespace kdb2mid
