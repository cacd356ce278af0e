#include "cdg/stored_zip.hpp"

#include <array>
#include <vector>

namespace kdb2mid::cdg {

namespace {

constexpr std::uint32_t kLocalHeader = 0x04034b50;
constexpr std::uint32_t kCentralHeader = 0x02014b50;
constexpr std::uint32_t kEndOfCentral = 0x06054b50;
constexpr std::uint16_t kVersion = 10;          // 1.0: stored entries
constexpr std::uint16_t kUtf8Names = 1U << 11;
constexpr std::uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;  // 1980-01-01
// Made on Unix (zip 2.0): readers then take the names as they are, not as
// an MS-DOS code page, and the files' permissions as rw-r--r--.
constexpr std::uint16_t kMadeByUnix = (3 << 8) | 20;
constexpr std::uint32_t kRegularFile = 0100644U << 16;
constexpr std::uint64_t kLimit = 0xFFFFFFFFULL;

void put16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

std::array<std::uint32_t, 256> crcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}

// The fields the local and the central header share, from "version needed".
void commonFields(std::vector<std::uint8_t>& out, const ZipEntry& entry, std::uint32_t crc) {
    put16(out, kVersion);
    put16(out, kUtf8Names);
    put16(out, 0);  // stored
    put16(out, 0);  // 00:00
    put16(out, kDosDate);
    put32(out, crc);
    put32(out, static_cast<std::uint32_t>(entry.data.size()));
    put32(out, static_cast<std::uint32_t>(entry.data.size()));
    put16(out, static_cast<std::uint32_t>(entry.name.size()));
    put16(out, 0);  // no extra field
}

}  // namespace

std::uint32_t zipCrc32(std::span<const std::uint8_t> bytes) noexcept {
    static const std::array<std::uint32_t, 256> table = crcTable();
    std::uint32_t crc = 0xFFFFFFFFU;
    for (const std::uint8_t byte : bytes) crc = table[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFU;
}

bool writeStoredZip(std::span<const ZipEntry> entries, ByteSink& sink) {
    if (entries.size() > 0xFFFF) return false;
    std::uint64_t total = 22;
    for (const ZipEntry& entry : entries) {
        if (entry.data.size() >= kLimit || entry.name.size() > 0xFFFF) return false;
        total += 30 + 46 + 2 * entry.name.size() + entry.data.size();
    }
    if (total > kLimit) return false;

    std::vector<std::uint8_t> central;
    std::vector<std::uint8_t> header;
    std::uint32_t offset = 0;
    for (const ZipEntry& entry : entries) {
        const std::uint32_t crc = zipCrc32(entry.data);
        header.clear();
        put32(header, kLocalHeader);
        commonFields(header, entry, crc);
        header.insert(header.end(), entry.name.begin(), entry.name.end());
        sink.write(header);
        sink.write(entry.data);

        put32(central, kCentralHeader);
        put16(central, kMadeByUnix);
        commonFields(central, entry, crc);
        put16(central, 0);  // no comment
        put16(central, 0);  // disk 0
        put16(central, 0);  // internal attributes
        put32(central, kRegularFile);
        put32(central, offset);
        central.insert(central.end(), entry.name.begin(), entry.name.end());
        offset += static_cast<std::uint32_t>(header.size() + entry.data.size());
    }
    std::vector<std::uint8_t> end;
    put32(end, kEndOfCentral);
    put16(end, 0);
    put16(end, 0);
    put16(end, static_cast<std::uint32_t>(entries.size()));
    put16(end, static_cast<std::uint32_t>(entries.size()));
    put32(end, static_cast<std::uint32_t>(central.size()));
    put32(end, offset);
    put16(end, 0);  // no comment
    sink.write(central);
    sink.write(end);
    return true;
}

}  // namespace kdb2mid::cdg
