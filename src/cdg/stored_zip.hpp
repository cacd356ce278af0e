// A zip archive of files stored whole (no compression), the way karaoke
// hosts also take an MP3+G pair: SONG.zip holding SONG.cdg and SONG.mp3.
// The MP3 is compressed already; the .cdg would shrink, but storing keeps
// the writer to a few lines with no library, and every reader takes it.
//
// Names are UTF-8 (flag bit 11); every entry carries the fixed time
// 1980-01-01 00:00, so the same files make the same bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "format/byte_sink.hpp"

namespace kdb2mid::cdg {

struct ZipEntry {
    std::string name;
    std::span<const std::uint8_t> data;
};

// The CRC-32 zip files check their entries with (polynomial 0xEDB88320).
std::uint32_t zipCrc32(std::span<const std::uint8_t> bytes) noexcept;

// Writes the whole archive to sink. False, with nothing written, when it
// cannot be a plain zip: an entry of 4 GiB or more, a name of 64 KiB or
// more, more than 65,535 entries, or an archive past 4 GiB.
bool writeStoredZip(std::span<const ZipEntry> entries, ByteSink& sink);

}  // namespace kdb2mid::cdg
