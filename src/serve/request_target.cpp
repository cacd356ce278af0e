#include "serve/request_target.hpp"

#include <algorithm>

namespace kdb2mid {

namespace {

int hexValue(char c) noexcept {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// What HTTP lets a request target hold, unescaped: printable ASCII.
bool printableAscii(char c) noexcept { return c > 0x20 && c < 0x7F; }

bool controlCharacter(char c) noexcept {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool safeSegment(std::string_view segment) noexcept {
    if (segment.empty() || segment == "." || segment == "..") return false;
    return std::none_of(segment.begin(), segment.end(),
                        [](char c) { return controlCharacter(c) || c == '/' || c == '\\'; });
}

// Splits text at every separator; "" gives one empty part.
std::vector<std::string_view> split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

}  // namespace

std::optional<std::string> percentDecode(std::string_view text, bool plusIsSpace) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (text.size() - i < 3) return std::nullopt;
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0) return std::nullopt;
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += plusIsSpace && c == '+' ? ' ' : c;
        }
    }
    return decoded;
}

std::optional<RequestTarget> parseTarget(std::string_view target, TargetRefusal& refusal) {
    refusal = TargetRefusal::none;
    if (target.size() > kMaxTargetBytes) {
        refusal = TargetRefusal::tooLong;
        return std::nullopt;
    }
    if (target.empty() || target[0] != '/' ||
        !std::all_of(target.begin(), target.end(), printableAscii)) {
        refusal = TargetRefusal::malformed;
        return std::nullopt;
    }
    // A fragment never reaches a server; one that does is not an address.
    if (target.find('#') != std::string_view::npos) {
        refusal = TargetRefusal::malformed;
        return std::nullopt;
    }
    const std::size_t question = target.find('?');
    const std::string_view path = target.substr(1, question == std::string_view::npos
                                                       ? std::string_view::npos
                                                       : question - 1);
    RequestTarget parsed;
    if (!path.empty()) {
        for (const std::string_view raw : split(path, '/')) {
            std::optional<std::string> segment = percentDecode(raw, false);
            if (!segment) {
                refusal = TargetRefusal::malformed;
                return std::nullopt;
            }
            if (!safeSegment(*segment)) {
                refusal = TargetRefusal::unsafePath;
                return std::nullopt;
            }
            parsed.segments.push_back(std::move(*segment));
        }
    }
    if (question != std::string_view::npos && question + 1 < target.size()) {
        for (const std::string_view field : split(target.substr(question + 1), '&')) {
            if (field.empty()) continue;
            const std::size_t equals = field.find('=');
            std::optional<std::string> name = percentDecode(field.substr(0, equals), true);
            const std::string_view rawValue =
                equals == std::string_view::npos ? std::string_view{} : field.substr(equals + 1);
            std::optional<std::string> value = percentDecode(rawValue, true);
            if (!name || !value) {
                refusal = TargetRefusal::malformed;
                return std::nullopt;
            }
            parsed.query.emplace_back(std::move(*name), std::move(*value));
        }
    }
    return parsed;
}

}  // namespace kdb2mid
