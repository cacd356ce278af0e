#include "cdg/freetype_raster.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <unordered_map>

#include "cdg/stacked_marks.hpp"
#include "format/utf8_text.hpp"

namespace kdb2mid::cdg {

namespace {

// Grey coverage from which a pixel counts as letter: a little under half,
// so thin strokes of small bold letters stay joined.
constexpr unsigned char kInkThreshold = 110;
// The same for a stacked mark's thin strokes.
constexpr unsigned char kMarkThreshold = 100;

struct Glyph {
    int advance = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> ink;
};

std::uint64_t glyphKey(int pixelSize, FT_UInt index) {
    return (static_cast<std::uint64_t>(pixelSize) << 32) | index;
}

// A letter drawn from parts is kept by its code point, apart from the glyph indices.
std::uint64_t letterKey(int pixelSize, char32_t letter) {
    return (static_cast<std::uint64_t>(pixelSize) << 32) | (std::uint64_t{1} << 31) | letter;
}

// Empty rows between a lower-case letter and the marks stacked over it.
constexpr int kMarkGap = 2;

using InkPixels = std::vector<std::pair<int, int>>;

// A glyph's ink pixels as (x from the pen, height above the baseline).
InkPixels inkPixels(const Glyph& glyph) {
    InkPixels pixels;
    for (int y = 0; y < glyph.height; ++y) {
        for (int x = 0; x < glyph.width; ++x) {
            if (glyph.ink[static_cast<std::size_t>(y * glyph.width + x)] != 0) {
                pixels.emplace_back(glyph.left + x, glyph.top - y);
            }
        }
    }
    return pixels;
}

// The smallest box around some pixels (not none).
struct InkBox {
    int left, right, bottom, top;
};

InkBox boxOf(const InkPixels& pixels) {
    InkBox box{pixels.front().first, pixels.front().first, pixels.front().second, pixels.front().second};
    for (const auto& [x, level] : pixels) {
        box.left = std::min(box.left, x);
        box.right = std::max(box.right, x);
        box.bottom = std::min(box.bottom, level);
        box.top = std::max(box.top, level);
    }
    return box;
}

// Adds mark to pixels centred over letter, gap empty rows above the height
// floor; returns the mark's top.
int stack(InkPixels& pixels, const InkBox& letter, const InkPixels& mark, int floor, int gap) {
    const InkBox box = boxOf(mark);
    const int shift = (letter.left + letter.right + 1) / 2 - (box.left + box.right + 1) / 2;
    const int lift = floor + gap + 1 - box.bottom;
    for (const auto& [x, level] : mark) pixels.emplace_back(x + shift, level + lift);
    return box.top + lift;
}

// The glyph holding exactly these pixels (none: an empty glyph), advancing as advance.
Glyph glyphOf(const InkPixels& pixels, int advance) {
    Glyph made;
    made.advance = advance;
    if (pixels.empty()) return made;
    const auto [left, right, bottom, top] = boxOf(pixels);
    made.left = left;
    made.top = top;
    made.width = right - left + 1;
    made.height = top - bottom + 1;
    made.ink.assign(static_cast<std::size_t>(made.width) * static_cast<std::size_t>(made.height), 0);
    for (const auto& [x, level] : pixels) {
        made.ink[static_cast<std::size_t>((top - level) * made.width + x - left)] = 1;
    }
    return made;
}

// Empty rows between a lower-case letter and a circumflex drawn alone over
// it: the outline round each fills them, so the two stay apart in white but
// the hat still reads as the letter's own.
constexpr int kHatGap = 2;

// A circumflex for letters of pixelSize, as (x, height) pixels around x = 0:
// two strokes a twelfth of the size thick (2 pixels at 24) rising at 45
// degrees for an eighth of it (3 rows) to where they meet (one pixel wide
// for one-pixel strokes, three for two), the same on both sides so that it
// cannot be taken for a grave or an acute.
InkPixels hat(int pixelSize) {
    const int stroke = std::max(1, pixelSize / 12);
    const int rows = std::max(2, pixelSize / 8);
    InkPixels pixels;
    for (int row = 0; row < rows; ++row) {  // from the point down
        for (int t = 0; t < stroke; ++t) {
            pixels.emplace_back(-row - t, -row);  // the left stroke
            pixels.emplace_back(row + t, -row);   // the right stroke
        }
    }
    return pixels;
}

std::string describe(FT_Error error) {
    static constexpr char kHex[] = "0123456789abcdef";
    const auto code = static_cast<unsigned>(error);
    std::string text = "FreeType error 0x";
    text += kHex[(code >> 4) & 0x0F];
    text += kHex[code & 0x0F];
    return text;
}

}  // namespace

struct FreeTypeRasteriser::State {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    FT_UInt replacement = 0;
    int size = 0;
    std::unordered_map<std::uint64_t, Glyph> glyphs;
    std::unordered_map<char32_t, FT_UInt> indices;

    ~State() {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }

    void setSize(int pixelSize) {
        if (size == pixelSize) return;
        FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixelSize));
        size = pixelSize;
    }

    FT_UInt indexOf(char32_t codePoint) {
        const auto found = indices.find(codePoint);
        if (found != indices.end()) return found->second;
        FT_UInt index = isControlCharacter(codePoint) ? 0 : FT_Get_Char_Index(face, codePoint);
        if (index == 0) index = replacement;
        indices.emplace(codePoint, index);
        return index;
    }

    const Glyph& glyph(FT_UInt index, int pixelSize, bool grey = false) {
        const std::uint64_t key = glyphKey(pixelSize, index) | (grey ? std::uint64_t{1} << 30 : 0);
        const auto found = glyphs.find(key);
        if (found != glyphs.end()) return found->second;
        Glyph made;
        setSize(pixelSize);
        // The face's own hinting for one-bit pixels: it keeps stems whole
        // and a letter's mark apart from it, where a threshold on grey
        // coverage merges them. A combining mark drawn on its own (grey) is
        // rendered smooth and cut at kMarkThreshold instead: one-bit hinting
        // breaks a mark that has no letter under it into slivers.
        if (FT_Load_Glyph(face, index, grey ? FT_LOAD_TARGET_LIGHT : FT_LOAD_TARGET_MONO) == 0 &&
            FT_Render_Glyph(face->glyph, grey ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) == 0) {
            const FT_GlyphSlot slot = face->glyph;
            const FT_Bitmap& bitmap = slot->bitmap;
            made.advance = static_cast<int>((slot->advance.x + 32) >> 6);
            made.left = slot->bitmap_left;
            made.top = slot->bitmap_top;
            made.width = static_cast<int>(bitmap.width);
            made.height = static_cast<int>(bitmap.rows);
            made.ink.resize(static_cast<std::size_t>(made.width) * static_cast<std::size_t>(made.height));
            for (int y = 0; y < made.height; ++y) {
                const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
                for (int x = 0; x < made.width; ++x) {
                    const bool ink = bitmap.pixel_mode == FT_PIXEL_MODE_MONO
                                         ? (row[x / 8] & (0x80 >> (x % 8))) != 0
                                         : row[x] >= (grey ? kMarkThreshold : kInkThreshold);
                    made.ink[static_cast<std::size_t>(y * made.width + x)] = ink ? 1 : 0;
                }
            }
        }
        return glyphs.emplace(key, std::move(made)).first->second;
    }

    // A lower-case letter with a circumflex alone: the plain letter, and
    // kHatGap empty rows over it a hat drawn here rather than taken from the
    // font. The font's one-bit circumflex at a screen's size is a few
    // uneven pixels that read as a grave or a diaeresis; this one is two
    // strokes of the same weight meeting at the letter's centre.
    Glyph loneCircumflex(char32_t letter, char32_t plainLetter, int pixelSize) {
        const Glyph& plain = glyph(indexOf(plainLetter), pixelSize);
        InkPixels pixels = inkPixels(plain);
        if (pixels.empty()) return glyph(indexOf(letter), pixelSize);
        const InkBox letterBox = boxOf(pixels);
        stack(pixels, letterBox, hat(pixelSize), letterBox.top, kHatGap);
        return glyphOf(pixels, plain.advance);
    }

    // The letter's picture: the font's glyph, or for a letter with a tilde
    // over its circumflex or breve, the plain letter with the two marks over
    // it: the font's combining marks a quarter larger than the letter (a
    // capital's an eighth smaller), rendered smooth, apart by empty rows and
    // centred on the letter.
    const Glyph& letter(char32_t codePoint, int pixelSize) {
        const StackedMarks* parts = stackedMarks(codePoint);
        if (parts == nullptr) return glyph(indexOf(codePoint), pixelSize);
        const std::uint64_t key = letterKey(pixelSize, codePoint);
        if (const auto found = glyphs.find(key); found != glyphs.end()) return found->second;
        if (parts->toneMark == 0) {
            return glyphs.emplace(key, loneCircumflex(codePoint, parts->plain, pixelSize)).first->second;
        }
        const FT_UInt plainIndex = FT_Get_Char_Index(face, parts->plain);
        const FT_UInt lowerIndex = FT_Get_Char_Index(face, parts->lowerMark);
        const FT_UInt toneIndex = FT_Get_Char_Index(face, parts->toneMark);
        if (plainIndex == 0 || lowerIndex == 0 || toneIndex == 0) return glyph(indexOf(codePoint), pixelSize);
        const Glyph& plain = glyph(plainIndex, pixelSize);
        InkPixels pixels = inkPixels(plain);
        if (pixels.empty()) return glyph(indexOf(codePoint), pixelSize);
        const InkBox letterBox = boxOf(pixels);
        int floor = letterBox.top;  // the top of what is stacked so far
        // A capital is taller: its marks are an eighth smaller and one row
        // apart, so that it stays inside a screen line's room.
        const bool capital = parts->plain < U'a';
        const int markSize = capital ? pixelSize - pixelSize / 8 : pixelSize + pixelSize / 4;
        const int gap = capital ? 1 : kMarkGap;
        for (const FT_UInt markIndex : {lowerIndex, toneIndex}) {
            const InkPixels mark = inkPixels(glyph(markIndex, markSize, true));
            if (mark.empty()) continue;
            floor = stack(pixels, letterBox, mark, floor, gap);
        }
        return glyphs.emplace(key, glyphOf(pixels, plain.advance)).first->second;
    }
};

FreeTypeRasteriser::FreeTypeRasteriser(std::unique_ptr<State> state) : state_(std::move(state)) {}
FreeTypeRasteriser::~FreeTypeRasteriser() = default;

std::unique_ptr<FreeTypeRasteriser> FreeTypeRasteriser::open(const std::filesystem::path& path,
                                                             std::string& error) {
    auto state = std::make_unique<State>();
    if (const FT_Error failed = FT_Init_FreeType(&state->library); failed != 0) {
        error = describe(failed);
        return nullptr;
    }
    if (const FT_Error failed = FT_New_Face(state->library, path.string().c_str(), 0, &state->face);
        failed != 0) {
        state->face = nullptr;
        error = describe(failed);
        return nullptr;
    }
    state->replacement = FT_Get_Char_Index(state->face, kReplacementCharacter);
    return std::unique_ptr<FreeTypeRasteriser>(new FreeTypeRasteriser(std::move(state)));
}

InkBitmap FreeTypeRasteriser::render(std::string_view utf8, int pixelSize) {
    pixelSize = std::clamp(pixelSize, 8, 64);
    struct Placed {
        const Glyph* glyph;
        int x;
    };
    std::vector<Placed> placed;
    int pen = 0;
    for (std::size_t pos = 0; pos < utf8.size() && pen < kMaxInkWidth;) {
        char32_t codePoint = kReplacementCharacter;
        const std::size_t length = utf8SequenceAt(utf8, pos, codePoint);
        pos += length == 0 ? 1 : length;
        if (length == 0) codePoint = kReplacementCharacter;
        const Glyph& glyph = state_->letter(codePoint, pixelSize);
        placed.push_back({&glyph, pen});
        pen += glyph.advance;
    }

    InkBitmap word;
    word.advance = std::min(pen, kMaxInkWidth);
    int minX = 0;
    int maxX = 0;
    int top = 0;
    int bottom = 0;
    bool any = false;
    for (const Placed& p : placed) {
        if (p.glyph->width == 0 || p.glyph->height == 0) continue;
        const int left = p.x + p.glyph->left;
        minX = any ? std::min(minX, left) : left;
        maxX = any ? std::max(maxX, left + p.glyph->width) : left + p.glyph->width;
        top = any ? std::max(top, p.glyph->top) : p.glyph->top;
        bottom = any ? std::max(bottom, p.glyph->height - p.glyph->top)
                     : p.glyph->height - p.glyph->top;
        any = true;
    }
    if (!any) return word;
    maxX = std::min(maxX, minX + kMaxInkWidth);
    word.left = minX;
    word.top = top;
    word.width = maxX - minX;
    word.height = top + bottom;
    word.ink.assign(static_cast<std::size_t>(word.width) * static_cast<std::size_t>(word.height), 0);
    for (const Placed& p : placed) {
        const Glyph& g = *p.glyph;
        const int x0 = p.x + g.left - minX;
        const int y0 = top - g.top;
        for (int y = 0; y < g.height; ++y) {
            for (int x = 0; x < g.width; ++x) {
                const int wx = x0 + x;
                if (wx < 0 || wx >= word.width || !g.ink[static_cast<std::size_t>(y * g.width + x)]) continue;
                word.ink[static_cast<std::size_t>((y0 + y) * word.width + wx)] = 1;
            }
        }
    }
    return word;
}

int FreeTypeRasteriser::spaceAdvance(int pixelSize) {
    pixelSize = std::clamp(pixelSize, 8, 64);
    return state_->glyph(state_->indexOf(U' '), pixelSize).advance;
}

}  // namespace kdb2mid::cdg
