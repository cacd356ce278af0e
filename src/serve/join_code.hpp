// The join address as a QR code a phone's camera reads off the TV.
#pragma once

#include <string>
#include <string_view>

namespace kdb2mid {

// An SVG image (black modules on white, a four-module quiet zone around
// them, one module one unit) of text as a QR code at error correction
// level M; "" when text is empty or too long for a QR code.
std::string qrCodeSvg(std::string_view text);

}  // namespace kdb2mid
