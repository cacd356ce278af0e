// make_search_database OUTDIR [SONGS]: a database of SONGS (default 30000)
// synthetic songs numbered from 21090, records of about 5 to 60 KB as
// make_large_database writes them, with name.idx and name.tab: nine songs in
// ten have a Vietnamese name made of three to five syllables, the rest are
// listed under their titles.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "format/byte_order.hpp"
#include "generator/synthetic_song.hpp"
#include "generator/vni_encoding.hpp"

namespace {

constexpr const char* kSyllables[] = {
    "TRỐNG", "CƠM",  "BÈO",  "DẠT",   "MÂY",  "TRÔI", "ĐƯỜNG", "XƯA",  "EM",   "ANH",
    "TÌNH",  "YÊU",  "MÙA",  "XUÂN",  "HẠ",   "THU",  "ĐÔNG",  "NỖI",  "NHỚ",  "QUÊ",
    "HƯƠNG", "MẸ",   "CHA",  "BIỂN",  "SÔNG", "NÚI",  "ĐÊM",   "NGÀY", "MƯA",  "NẮNG",
    "HOA",   "LÁ",   "GIÓ",  "TRĂNG", "SAO",  "LỜI",  "RU",    "CON",  "ĐỜI",  "NGƯỜI",
    "HÀ",    "NỘI",  "SÀI",  "GÒN",   "HUẾ",  "PHỐ",  "CŨ",    "BUỒN", "VUI",  "XA",
};
constexpr std::uint32_t kSyllableCount = sizeof kSyllables / sizeof kSyllables[0];

std::string songName(std::uint32_t seed) {
    std::uint32_t state = seed * 2654435761U;
    const std::uint32_t words = 3 + state % 3;
    std::string name;
    for (std::uint32_t i = 0; i < words; ++i) {
        state = state * 1664525U + 1013904223U;
        if (!name.empty()) name += ' ';
        name += kSyllables[(state >> 16) % kSyllableCount];
    }
    return name;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_search_database OUTDIR [SONGS]\n");
        return 2;
    }
    try {
        namespace sample = kdb2mid::sample;
        const long songs = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 30000;
        sample::Database database;
        sample::Bytes index;
        sample::Bytes table;
        for (long i = 0; i < songs; ++i) {
            const auto seed = static_cast<std::uint32_t>(i + 1);
            const std::size_t target = 12000 + (seed * 7919U) % 165000;
            database.records.push_back(
                sample::buildRecord(sample::syntheticSong(seed, target)));
            kdb2mid::appendBigEndian32(index, static_cast<std::uint32_t>(table.size()));
            if (seed % 10 == 0) continue;  // no name: listed under its first title
            const std::string name = sample::encodeVni(songName(seed));
            table.insert(table.end(), name.begin(), name.end());
            table.push_back(0);
        }
        kdb2mid::appendBigEndian32(index, static_cast<std::uint32_t>(table.size()));
        sample::writeDatabase(database, argv[1]);
        sample::writeFile(std::filesystem::path(argv[1]) / "name.idx", index);
        sample::writeFile(std::filesystem::path(argv[1]) / "name.tab", table);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_search_database: %s\n", error.what());
        return 1;
    }
    return 0;
}
