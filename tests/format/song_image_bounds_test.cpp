// The decoders read nothing past the record's last byte, even where the byte
// after it is unreadable memory (as at the end of a large record's own
// mapping), whatever the last groups of the stream hold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "format/song_image.hpp"
#include "format/byte_order.hpp"
#include "test_support.hpp"

#ifndef _WIN32
#include <sys/mman.h>
#include <unistd.h>

namespace kdb2mid {
namespace {

using test::Bytes;

// A copy of some bytes that ends right where an unreadable page begins: any
// read past the end faults.
class GuardedBytes {
public:
    explicit GuardedBytes(const Bytes& bytes) {
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        size_ = (bytes.size() + page - 1) / page * page + page;
        void* base = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base == MAP_FAILED) throw std::runtime_error("mmap failed");
        base_ = static_cast<std::uint8_t*>(base);
        if (::mprotect(base_ + size_ - page, page, PROT_NONE) != 0) throw std::runtime_error("mprotect failed");
        data_ = base_ + size_ - page - bytes.size();
        std::memcpy(data_, bytes.data(), bytes.size());
        length_ = bytes.size();
    }
    ~GuardedBytes() { ::munmap(base_, size_); }
    GuardedBytes(const GuardedBytes&) = delete;
    GuardedBytes& operator=(const GuardedBytes&) = delete;
    std::span<const std::uint8_t> bytes() const { return {data_, length_}; }

private:
    std::uint8_t* base_ = nullptr;
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t length_ = 0;
};

TEST(SongImageBounds, GroupsEndingNearTheRecordEndReadOnlyTheRecord) {
    // V = 124 leaves room before the stream, so the image's capacity (3 x the
    // record) keeps the fast loop running up to the last groups.
    constexpr std::uint32_t kStreamOffset = 124;
    for (const std::uint8_t lastFlags : test::bytes({0x01, 0x00, 0x03, 0x80, 0xFF})) {
        for (std::size_t trailing = 0; trailing <= 24; ++trailing) {
            Bytes record(20, 0);
            appendBigEndian32(record, kStreamOffset);
            appendBigEndian32(record, kStreamOffset);
            record.resize(kStreamOffset + 4, 0);
            // Eight literals to refer back to, then a group whose items are
            // references (00 31: three bytes from 3 back) where its flag bit is
            // clear and literals where it is set, then `trailing` more bytes.
            record.insert(record.end(), {0xFF, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', lastFlags});
            for (unsigned bit = 0x80; bit != 0; bit >>= 1) {
                if (lastFlags & bit) {
                    record.push_back('x');
                } else {
                    record.insert(record.end(), {0x00, 0x50});
                }
            }
            for (std::size_t i = 0; i < trailing; ++i) record.push_back(static_cast<std::uint8_t>(0x80 | i));
            const GuardedBytes guarded(record);

            SongImage fast;
            SongImage reference;
            const RecordError fastError = decompressSongImage(guarded.bytes(), kStreamOffset + 4, fast);
            ASSERT_EQ(fastError, decompressSongImageReference(guarded.bytes(), kStreamOffset + 4, reference))
                << int{lastFlags} << " " << trailing;
            EXPECT_TRUE(std::equal(fast.bytes().begin(), fast.bytes().end(), reference.bytes().begin(),
                                   reference.bytes().end()))
                << int{lastFlags} << " " << trailing;
        }
    }
}

}  // namespace
}  // namespace kdb2mid
#endif
