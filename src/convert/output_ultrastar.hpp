// The UltraStar output's text, apart from its writer so that the fuzzer can
// check it for any song.
#pragma once

#include <filesystem>
#include <string>

#include "convert/song_context.hpp"

namespace kdb2mid {

// The song's UltraStar text, its audio named audio (written beside it), with
// its instrumental and guide melody beside that when the song is split.
std::string ultrastarText(SongContext& song, const std::filesystem::path& audio);

}  // namespace kdb2mid
