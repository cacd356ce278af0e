// Reads back what the converter writes, for the tests: the chunks of a MIDI
// file, and the meta events of a track that holds nothing else.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kdb2mid::test {

struct Chunk {
    std::string id;
    std::vector<std::uint8_t> body;
};

inline std::uint32_t bigEndian32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return (std::uint32_t{bytes.at(at)} << 24) | (std::uint32_t{bytes.at(at + 1)} << 16) |
           (std::uint32_t{bytes.at(at + 2)} << 8) | std::uint32_t{bytes.at(at + 3)};
}

inline std::vector<Chunk> readChunks(const std::vector<std::uint8_t>& file) {
    std::vector<Chunk> chunks;
    for (std::size_t at = 0; at < file.size();) {
        if (at + 8 > file.size()) throw std::runtime_error("chunk head past the end");
        const std::uint32_t length = bigEndian32(file, at + 4);
        if (at + 8 + length > file.size()) throw std::runtime_error("chunk body past the end");
        chunks.push_back({std::string(file.begin() + static_cast<std::ptrdiff_t>(at),
                                      file.begin() + static_cast<std::ptrdiff_t>(at + 4)),
                          {file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                           file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length)}});
        at += 8 + length;
    }
    return chunks;
}

struct MetaEvent {
    std::uint32_t time;  // absolute, in ticks
    std::uint8_t type;
    std::string data;
};

inline std::uint32_t readVarLen(const std::vector<std::uint8_t>& body, std::size_t& at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t byte = body.at(at++);
        value = (value << 7) | (byte & 0x7Fu);
        if ((byte & 0x80) == 0) return value;
    }
    throw std::runtime_error("variable-length number longer than four bytes");
}

// The meta events of a track body made only of meta events, end of track included.
inline std::vector<MetaEvent> readMetaEvents(const std::vector<std::uint8_t>& body) {
    std::vector<MetaEvent> events;
    std::uint32_t time = 0;
    for (std::size_t at = 0; at < body.size();) {
        time += readVarLen(body, at);
        if (body.at(at) != 0xFF) throw std::runtime_error("not a meta event");
        const std::uint8_t type = body.at(at + 1);
        at += 2;
        const std::uint32_t length = readVarLen(body, at);
        if (at + length > body.size()) throw std::runtime_error("meta event past the end");
        events.push_back({time, type,
                          std::string(body.begin() + static_cast<std::ptrdiff_t>(at),
                                      body.begin() + static_cast<std::ptrdiff_t>(at + length))});
        at += length;
    }
    return events;
}

}  // namespace kdb2mid::test
