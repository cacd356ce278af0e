// The files the pages are made of, embedded into the program at build time
// from what web/build.mjs writes (cmake/EmbedWebAssets.cmake): a fixed table
// of names, content types and bytes. A request names an entry of the table,
// never a file: nothing a request says reaches the file system.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kdb2mid {

struct WebAsset {
    std::string_view name;         // "tv.js": served at /tv.js
    std::string_view contentType;  // "text/javascript; charset=utf-8"
    std::span<const std::uint8_t> bytes;
};

// The pages of this build, sorted by name (kdb2mid_web_assets, generated).
std::span<const WebAsset> webAssets() noexcept;

// The entry of assets called name, or null.
const WebAsset* findAsset(std::span<const WebAsset> assets, std::string_view name) noexcept;

}  // namespace kdb2mid
