#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "convert/convert_song.hpp"
#include "convert/vietnamese_song.hpp"
#include "generator/database_writer.hpp"
#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::Bytes;

std::string hex(const Bytes& data) {
    std::string out;
    char digits[3];
    for (std::uint8_t byte : data) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        out += digits;
    }
    return out;
}

// The .mid of the Vietnamese test song as the converter wrote it before the
// lyric text options existed: the default must stay exactly this.
const char* const kDefaultMidi =
    "4D546864000000060001000300784D54726B0000000B00FF510307A12000FF2F004D54726B0000001000C000"
    "00903C648360803C4000FF2F004D54726B0000013400FF030E4261F869204861F974205468F6FB00FF030744"
    "61E26E2063618360FF0501201EFF0501581EFF0501691EFF05016E1EFF0501201EFF0501631EFF0501681EFF"
    "050261F81EFF05016F8550FF05014E1EFF0501671EFF0501F61EFF0502F4F81EFF0501691EFF0501201EFF05"
    "01F11EFF050169856EFF0501541EFF0501721EFF05026FE11EFF05016E1EFF0501671EFF0501201EFF050163"
    "1EFF0501F41EFF05016D8550FF0501421EFF050265F81EFF05016F1EFF0501201EFF0501641EFF050261EF1E"
    "FF0501741EFF0501201EFF05016D1EFF050261E21EFF0501791EFF0501201EFF0501741EFF0501721EFF0502"
    "6FE21EFF050169837EFF0501D11EFF050265E21EFF05016D1EFF0501201EFF05016E1EFF0501611EFF050179"
    "860CFF0501481EFF050265E11EFF05017400FF2F00";

TEST(LyricText, DefaultOutputIsUnchanged) {
    test::TempDir dir;
    sample::writeDatabase({{sample::buildRecord(test::vietnameseSong())}, {}, {}}, dir.path());
    SongDatabase database;
    ASSERT_EQ(database.open(dir.path()), SongDatabase::OpenError::none);
    ConvertWorkspace work;
    const SongResult result = convertSong(database, kFirstSongNumber, dir.path(), {}, work);
    ASSERT_EQ(result.outcome, SongResult::Outcome::converted);
    EXPECT_EQ(hex(sample::readFile(dir / "21090.mid")), kDefaultMidi);
    EXPECT_EQ(dir.files(), (std::vector<std::string>{"21090.mid", "CHORUS.DAT", "CRS&TCK.IDX",
                                                     "SONG.DAT", "SONG.IDX"}));
}

}  // namespace
}  // namespace kdb2mid
