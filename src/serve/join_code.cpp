#include "serve/join_code.hpp"

#include <memory>

#include <qrencode.h>

namespace kdb2mid {

namespace {

// The light margin a reader needs around the code, in modules.
constexpr int kQuietZone = 4;

struct CodeFree {
    void operator()(QRcode* code) const noexcept { QRcode_free(code); }
};

}  // namespace

std::string qrCodeSvg(std::string_view text) {
    if (text.empty()) return {};
    const std::string copy(text);  // libqrencode wants a terminated string
    const std::unique_ptr<QRcode, CodeFree> code(
        QRcode_encodeString8bit(copy.c_str(), 0, QR_ECLEVEL_M));
    if (!code) return {};
    const int width = code->width;
    const std::string size = std::to_string(width + 2 * kQuietZone);
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 ";
    svg.append(size).append(" ").append(size);
    svg.append("\" shape-rendering=\"crispEdges\"><rect width=\"").append(size);
    svg.append("\" height=\"").append(size).append("\" fill=\"#fff\"/><path d=\"");
    for (int y = 0; y < width; ++y) {
        for (int x = 0; x < width; ++x) {
            // Bit 0 of each module's byte: dark.
            if ((code->data[y * width + x] & 1) == 0) continue;
            svg.append("M").append(std::to_string(x + kQuietZone)).append(",");
            svg.append(std::to_string(y + kQuietZone)).append("h1v1h-1z");
        }
    }
    svg += "\" fill=\"#000\"/></svg>\n";
    return svg;
}

}  // namespace kdb2mid
