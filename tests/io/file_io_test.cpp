#include "io/file_io.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <iterator>

#include "test_support.hpp"

namespace kdb2mid {
namespace {

using test::Bytes;

Bytes readWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeWhole(const std::filesystem::path& path, const Bytes& content) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(content.data()),
              static_cast<std::streamsize>(content.size()));
}

// Whatever way the file is made, the folder ends with the final name alone,
// holding the new bytes after commit() and the old ones (or none) otherwise.
TEST(AtomicOutputFile, FinalNameHoldsAllOrNothing) {
    struct Case {
        const char* what;
        bool existing;   // a file of the final name is there before
        bool commit;     // commit() rather than abandon()
        bool destroyed;  // neither: the object just goes away
    };
    const Case cases[] = {
        {"new file committed", false, true, false},
        {"existing file replaced", true, true, false},
        {"new file abandoned", false, false, false},
        {"existing file kept on abandon", true, false, false},
        {"existing file kept when never committed", true, false, true},
    };
    // Larger than the output buffer, so that part of it reaches the file before commit().
    Bytes content(300000);
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes old = {1, 2, 3};
    for (const Case& c : cases) {
        test::TempDir folder;
        const std::filesystem::path path = folder / "21090.mid";
        if (c.existing) writeWhole(path, old);
        {
            AtomicOutputFile out;
            ASSERT_TRUE(out.open(path)) << c.what;
            out.write(content);
            if (c.commit) {
                EXPECT_TRUE(out.commit()) << c.what;
            } else if (!c.destroyed) {
                out.abandon();
            }
        }
        const bool present = c.commit || c.existing;
        EXPECT_EQ(folder.files(), present ? std::vector<std::string>{"21090.mid"}
                                          : std::vector<std::string>{})
            << c.what;
        if (present) {
            EXPECT_EQ(readWhole(path), c.commit ? content : old) << c.what;
        }
    }
}

TEST(AtomicOutputFile, ReportsWhatCannotBeWritten) {
    test::TempDir folder;
    AtomicOutputFile out;
    EXPECT_FALSE(out.open(folder / "missing" / "21090.mid"));
    EXPECT_EQ(out.failure().step, OutputFailure::Step::open);
    EXPECT_EQ(out.failure().error, ENOENT);
    EXPECT_FALSE(out.commit());
    EXPECT_EQ(out.failure().step, OutputFailure::Step::open);

    // A folder of the final name cannot be replaced by a file: the file is
    // written, but cannot be put in place.
    std::filesystem::create_directory(folder / "21090.mid");
    ASSERT_TRUE(out.open(folder / "21090.mid"));
    EXPECT_EQ(out.failure().step, OutputFailure::Step::none);
    out.write(Bytes{1, 2, 3});
    EXPECT_FALSE(out.commit());
    EXPECT_EQ(out.failure().step, OutputFailure::Step::place);
    EXPECT_NE(out.failure().error, 0);
    EXPECT_EQ(folder.files(), std::vector<std::string>{"21090.mid"});
    EXPECT_TRUE(std::filesystem::is_directory(folder / "21090.mid"));
}

}  // namespace
}  // namespace kdb2mid
