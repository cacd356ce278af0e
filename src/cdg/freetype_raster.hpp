// TextRasteriser over a font file read by FreeType. Glyphs are rendered once
// per letter and size and kept; one rasteriser serves one thread.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "cdg/text_raster.hpp"

namespace kdb2mid::cdg {

// Debian's fonts-dejavu-core: bold, with every Vietnamese letter precomposed.
inline constexpr const char* kDefaultFontPath = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

class FreeTypeRasteriser final : public TextRasteriser {
public:
    // The font at path, or nullptr with FreeType's reason in error.
    static std::unique_ptr<FreeTypeRasteriser> open(const std::filesystem::path& path,
                                                    std::string& error);
    ~FreeTypeRasteriser() override;
    FreeTypeRasteriser(const FreeTypeRasteriser&) = delete;
    FreeTypeRasteriser& operator=(const FreeTypeRasteriser&) = delete;

    InkBitmap render(std::string_view utf8, int pixelSize) override;
    int spaceAdvance(int pixelSize) override;

private:
    struct State;
    explicit FreeTypeRasteriser(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace kdb2mid::cdg
