#include "cdg/stored_zip.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "test_support.hpp"

namespace kdb2mid::cdg {
namespace {

TEST(StoredZip, Crc32KnownValues) {
    const std::string check = "123456789";
    EXPECT_EQ(zipCrc32({reinterpret_cast<const std::uint8_t*>(check.data()), check.size()}), 0xCBF43926U);
    EXPECT_EQ(zipCrc32({}), 0U);
}

// unzip (Info-ZIP) tests the archive's checksums and lists the pair.
TEST(StoredZip, UnzipReadsThePair) {
    if (std::system("unzip -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "no unzip";
    std::vector<std::uint8_t> cdg(7200 * 3, 0);
    cdg[5] = 9;
    const std::vector<std::uint8_t> mp3 = {0xFF, 0xFB, 0x90, 0x00, 1, 2, 3};
    const ZipEntry entries[] = {{"Trống Cơm.cdg", cdg}, {"Trống Cơm.mp3", mp3}};
    std::vector<std::uint8_t> zip;
    VectorSink sink(zip);
    ASSERT_TRUE(writeStoredZip(entries, sink));
    EXPECT_EQ(zip.size(), 22 + 2 * (30 + 46 + 2 * entries[0].name.size()) + cdg.size() + mp3.size());

    test::TempDir dir;
    std::ofstream(dir / "pair.zip", std::ios::binary)
        .write(reinterpret_cast<const char*>(zip.data()), static_cast<std::streamsize>(zip.size()));
    const std::string list = (dir / "list.txt").string();
    ASSERT_EQ(std::system(("unzip -t '" + (dir / "pair.zip").string() + "' >/dev/null && LC_ALL=C.UTF-8 unzip -Z1 '" +
                           (dir / "pair.zip").string() + "' >'" + list + "'")
                              .c_str()),
              0);
    std::ifstream in(list);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "Trống Cơm.cdg\nTrống Cơm.mp3\n");
}

}  // namespace
}  // namespace kdb2mid::cdg
