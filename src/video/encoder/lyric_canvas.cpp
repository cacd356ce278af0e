#include "video/encoder/lyric_canvas.hpp"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

extern "C" {
#include <ass/ass.h>
#include <libavutil/frame.h>
}

#include "video/yuv_colour.hpp"

namespace kdb2mid {

namespace {

// The font the lyric documents name, where Debian's fonts-dejavu-core puts
// it: libass falls back to it when fontconfig does not find "DejaVu Sans".
constexpr const char* kDefaultFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// libass would print its warnings to standard error; the tool prints only
// from its command line, and a document it cannot read is reported there.
void ignoreMessage(int, const char*, va_list, void*) {}

// x * alpha / 255, rounded, for x in -255..255 and alpha in 0..255.
inline int scaled(int x, int alpha) { return (x * alpha + (x >= 0 ? 127 : -127)) / 255; }

using Area = LyricCanvas::Area;

// Blends image into the frame within clip (even-aligned).
void blend(const ASS_Image& image, AVFrame& frame, const Area& clip) {
    const Rgb rgb{static_cast<std::uint8_t>(image.color >> 24),
                  static_cast<std::uint8_t>(image.color >> 16),
                  static_cast<std::uint8_t>(image.color >> 8)};
    const int opacity = 255 - static_cast<int>(image.color & 0xFF);
    if (opacity == 0) return;
    const Yuv colour = toYuv(rgb);

    const int rowFrom = std::max(0, clip.top - image.dst_y);
    const int rowTo = std::min(image.h, clip.bottom - image.dst_y);
    const int columnFrom = std::max(0, clip.left - image.dst_x);
    const int columnTo = std::min(image.w, clip.right - image.dst_x);
    for (int row = rowFrom; row < rowTo; ++row) {
        const unsigned char* mask = image.bitmap + static_cast<std::ptrdiff_t>(row) * image.stride;
        std::uint8_t* luma = frame.data[0] +
                             static_cast<std::ptrdiff_t>(image.dst_y + row) * frame.linesize[0] +
                             image.dst_x;
        for (int column = columnFrom; column < columnTo; ++column) {
            if (mask[column] == 0) continue;
            // Inside a letter, most of a large one, the colour covers the pixel.
            if (mask[column] == 255 && opacity == 255) {
                luma[column] = colour.y;
                continue;
            }
            const int alpha = mask[column] * opacity / 255;
            luma[column] =
                static_cast<std::uint8_t>(luma[column] + scaled(colour.y - luma[column], alpha));
        }
    }
    // A colour sample covers 2 x 2 pixels: it takes the mean of their coverage.
    const int firstColumn = std::max(image.dst_x / 2, clip.left / 2);
    const int lastColumn = std::min((image.dst_x + image.w - 1) / 2, clip.right / 2 - 1);
    const int firstRow = std::max(image.dst_y / 2, clip.top / 2);
    const int lastRow = std::min((image.dst_y + image.h - 1) / 2, clip.bottom / 2 - 1);
    const auto bitmapRow = [&image](int y) -> const unsigned char* {
        y -= image.dst_y;
        return y >= 0 && y < image.h ? image.bitmap + static_cast<std::ptrdiff_t>(y) * image.stride
                                     : nullptr;
    };
    for (int row = firstRow; row <= lastRow; ++row) {
        const unsigned char* top = bitmapRow(2 * row);
        const unsigned char* bottom = bitmapRow(2 * row + 1);
        std::uint8_t* u = frame.data[1] + static_cast<std::ptrdiff_t>(row) * frame.linesize[1];
        std::uint8_t* v = frame.data[2] + static_cast<std::ptrdiff_t>(row) * frame.linesize[2];
        for (int column = firstColumn; column <= lastColumn; ++column) {
            int sum = 0;
            for (int x = 2 * column - image.dst_x; x < 2 * column + 2 - image.dst_x; ++x) {
                if (x < 0 || x >= image.w) continue;
                if (top != nullptr) sum += top[x];
                if (bottom != nullptr) sum += bottom[x];
            }
            if (sum == 0) continue;
            if (sum == 4 * 255 && opacity == 255) {
                u[column] = colour.u;
                v[column] = colour.v;
                continue;
            }
            const int alpha = (sum + 2) / 4 * opacity / 255;
            u[column] = static_cast<std::uint8_t>(u[column] + scaled(colour.u - u[column], alpha));
            v[column] = static_cast<std::uint8_t>(v[column] + scaled(colour.v - v[column], alpha));
        }
    }
}

}  // namespace

LyricCanvas::~LyricCanvas() {
    if (track_ != nullptr) ass_free_track(track_);
    if (renderer_ != nullptr) ass_renderer_done(renderer_);
    if (library_ != nullptr) ass_library_done(library_);
}

bool LyricCanvas::open(std::string_view document, int width, int height,
                       std::span<const std::uint8_t> background) {
    width_ = width;
    height_ = height;
    background_ = background;
    library_ = ass_library_init();
    if (library_ == nullptr) return false;
    ass_set_message_cb(library_, ignoreMessage, nullptr);
    renderer_ = ass_renderer_init(library_);
    if (renderer_ == nullptr) return false;
    ass_set_frame_size(renderer_, width, height);
    std::error_code error;
    const char* fallback = std::filesystem::exists(kDefaultFont, error) ? kDefaultFont : nullptr;
    ass_set_fonts(renderer_, fallback, "DejaVu Sans", ASS_FONTPROVIDER_AUTODETECT, nullptr, 1);
    // libass may change the text it parses; it gets its own copy.
    std::string text(document);
    track_ = ass_read_memory(library_, text.data(), text.size(), nullptr);
    return track_ != nullptr && track_->n_events > 0;
}

void LyricCanvas::restore(const Area& area, AVFrame& frame) const {
    const auto copy = [](const std::uint8_t* from, int fromStride, std::uint8_t* to, int toStride,
                         int left, int top, int right, int bottom) {
        for (int row = top; row < bottom; ++row) {
            std::memcpy(to + static_cast<std::ptrdiff_t>(row) * toStride + left,
                        from + static_cast<std::ptrdiff_t>(row) * fromStride + left,
                        static_cast<std::size_t>(right - left));
        }
    };
    const std::uint8_t* y = background_.data();
    const std::uint8_t* u = y + static_cast<std::ptrdiff_t>(width_) * height_;
    const std::uint8_t* v = u + static_cast<std::ptrdiff_t>(width_ / 2) * (height_ / 2);
    copy(y, width_, frame.data[0], frame.linesize[0], area.left, area.top, area.right, area.bottom);
    copy(u, width_ / 2, frame.data[1], frame.linesize[1], area.left / 2, area.top / 2,
         area.right / 2, area.bottom / 2);
    copy(v, width_ / 2, frame.data[2], frame.linesize[2], area.left / 2, area.top / 2,
         area.right / 2, area.bottom / 2);
}

namespace {

bool sameImage(const ASS_Image& image, const std::vector<std::uint8_t>& mask, int x, int y, int w,
               int h, std::uint32_t color) {
    if (image.dst_x != x || image.dst_y != y || image.w != w || image.h != h || image.color != color) {
        return false;
    }
    for (int row = 0; row < h; ++row) {
        if (std::memcmp(image.bitmap + static_cast<std::ptrdiff_t>(row) * image.stride,
                        mask.data() + static_cast<std::ptrdiff_t>(row) * w,
                        static_cast<std::size_t>(w)) != 0) {
            return false;
        }
    }
    return true;
}

bool overlap(const Area& a, const Area& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// Areas joined into their bounding boxes until none overlap, so that no
// pixel is drawn twice.
void separate(std::vector<Area>& areas) {
    for (bool joined = true; joined;) {
        joined = false;
        for (std::size_t i = 0; i < areas.size() && !joined; ++i) {
            for (std::size_t j = i + 1; j < areas.size(); ++j) {
                if (!overlap(areas[i], areas[j])) continue;
                areas[i] = {std::min(areas[i].left, areas[j].left), std::min(areas[i].top, areas[j].top),
                            std::max(areas[i].right, areas[j].right),
                            std::max(areas[i].bottom, areas[j].bottom)};
                areas.erase(areas.begin() + static_cast<std::ptrdiff_t>(j));
                joined = true;
                break;
            }
        }
    }
}

}  // namespace

bool LyricCanvas::draw(long long milliseconds, AVFrame& frame) {
    int change = 0;
    ASS_Image* images = ass_render_frame(renderer_, track_, milliseconds, &change);
    if (drawn_ && change == 0) return false;
    std::vector<const ASS_Image*> now;
    for (const ASS_Image* image = images; image != nullptr; image = image->next) {
        if (image->w > 0 && image->h > 0) now.push_back(image);
    }
    const auto areaOf = [this](int x, int y, int w, int h) {
        return Area{x / 2 * 2, y / 2 * 2, std::min(width_, (x + w + 1) / 2 * 2),
                    std::min(height_, (y + h + 1) / 2 * 2)};
    };
    // Where the picture changes: under every image that came, went or changed.
    std::vector<Area> dirty;
    if (!drawn_) {
        dirty.push_back({0, 0, width_, height_});
    } else {
        std::vector<bool> kept(shown_.size(), false);
        for (const ASS_Image* image : now) {
            bool same = false;
            for (std::size_t j = 0; j < shown_.size() && !same; ++j) {
                const Drawn& old = shown_[j];
                if (!kept[j] && sameImage(*image, old.mask, old.x, old.y, old.w, old.h, old.color)) {
                    kept[j] = same = true;
                }
            }
            if (!same) dirty.push_back(areaOf(image->dst_x, image->dst_y, image->w, image->h));
        }
        for (std::size_t j = 0; j < shown_.size(); ++j) {
            if (!kept[j]) dirty.push_back(areaOf(shown_[j].x, shown_[j].y, shown_[j].w, shown_[j].h));
        }
        if (dirty.empty()) return false;
        separate(dirty);
    }
    drawn_ = true;
    for (const Area& area : dirty) {
        restore(area, frame);
        for (const ASS_Image* image : now) {
            if (overlap(area, areaOf(image->dst_x, image->dst_y, image->w, image->h))) {
                blend(*image, frame, area);
            }
        }
    }
    shown_.resize(now.size());
    for (std::size_t i = 0; i < now.size(); ++i) {
        const ASS_Image& image = *now[i];
        Drawn& kept = shown_[i];
        kept = {image.dst_x, image.dst_y, image.w, image.h, image.color, std::move(kept.mask)};
        kept.mask.resize(static_cast<std::size_t>(image.w) * static_cast<std::size_t>(image.h));
        for (int row = 0; row < image.h; ++row) {
            std::memcpy(kept.mask.data() + static_cast<std::ptrdiff_t>(row) * image.w,
                        image.bitmap + static_cast<std::ptrdiff_t>(row) * image.stride,
                        static_cast<std::size_t>(image.w));
        }
    }
    return true;
}

}  // namespace kdb2mid
