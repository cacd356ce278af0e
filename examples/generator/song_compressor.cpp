#include "generator/song_compressor.hpp"

#include <algorithm>
#include <stdexcept>

#include "format/song_image.hpp"

namespace kdb2mid {

namespace {

constexpr std::size_t kHashBits = 14;
constexpr std::size_t kChainDepth = 96;
constexpr std::uint32_t kNoPosition = 0xFFFFFFFF;

struct Item {
    std::uint32_t distance;  // 0 for a literal
    std::uint32_t length;    // 1 for a literal
};

std::uint32_t hashAt(std::span<const std::uint8_t> image, std::size_t i) {
    const std::uint32_t v = (std::uint32_t{image[i]} << 16) | (std::uint32_t{image[i + 1]} << 8) |
                            image[i + 2];
    return (v * 2654435761U) >> (32 - kHashBits);
}

// The window position the decoder will see for a reference made at image
// offset k with this distance.
std::uint32_t windowPosition(std::size_t k, std::uint32_t distance) {
    return static_cast<std::uint32_t>((k - distance) & (kWindowSize - 1));
}

// A reference with window position 0 and length 3 encodes as 00 00, which in
// a group of references only would read as the end mark: never emit one.
bool encodable(std::size_t k, std::uint32_t distance, std::uint32_t length) {
    return !(length == kMinMatch && windowPosition(k, distance) == 0);
}

class MatchFinder {
public:
    explicit MatchFinder(std::span<const std::uint8_t> image)
        : image_(image), head_(std::size_t{1} << kHashBits, kNoPosition), prev_(image.size()) {}

    void insert(std::size_t i) {
        if (i + kMinMatch > image_.size()) return;
        const std::uint32_t h = hashAt(image_, i);
        prev_[i] = head_[h];
        head_[h] = static_cast<std::uint32_t>(i);
    }

    Item longest(std::size_t i) const {
        Item best{0, 1};
        if (i + kMinMatch > image_.size()) return best;
        const std::size_t limit = std::min(kMaxMatch, image_.size() - i);
        std::uint32_t candidate = head_[hashAt(image_, i)];
        for (std::size_t depth = 0; depth < kChainDepth && candidate != kNoPosition; ++depth) {
            if (i - candidate > kWindowSize) break;
            std::size_t length = 0;
            while (length < limit && image_[candidate + length] == image_[i + length]) ++length;
            const auto distance = static_cast<std::uint32_t>(i - candidate);
            if (length > best.length && length >= kMinMatch &&
                encodable(i, distance, static_cast<std::uint32_t>(length))) {
                best = {distance, static_cast<std::uint32_t>(length)};
                if (length == limit) break;
            }
            candidate = prev_[candidate];
        }
        return best;
    }

private:
    std::span<const std::uint8_t> image_;
    std::vector<std::uint32_t> head_;
    std::vector<std::uint32_t> prev_;
};

std::vector<Item> parseItems(std::span<const std::uint8_t> image) {
    std::vector<Item> items;
    items.reserve(image.size() / 2 + 1);
    MatchFinder finder(image);
    std::size_t i = 0;
    while (i < image.size()) {
        Item here = finder.longest(i);
        if (here.length >= kMinMatch && here.length < kMaxMatch && i + 1 < image.size()) {
            // One step of lazy matching: a longer match one byte on is worth a literal.
            finder.insert(i);
            const Item next = finder.longest(i + 1);
            if (next.length > here.length + 1) {
                items.push_back({0, 1});
                ++i;
                here = next;
            } else {
                for (std::size_t j = i + 1; j < i + here.length; ++j) finder.insert(j);
                items.push_back(here);
                i += here.length;
                continue;
            }
        }
        if (here.length < kMinMatch) {
            finder.insert(i);
            items.push_back({0, 1});
            ++i;
            continue;
        }
        for (std::size_t j = i; j < i + here.length; ++j) finder.insert(j);
        items.push_back(here);
        i += here.length;
    }
    return items;
}

// Adds items, without changing what they decode to, until their number is a
// multiple of eight: a reference of four or more bytes becomes a literal and
// a reference one byte shorter at the same distance.
void padToWholeGroups(std::vector<Item>& items) {
    std::size_t missing = (8 - items.size() % 8) % 8;
    if (missing == 0) return;
    std::vector<Item> padded;
    padded.reserve(items.size() + missing);
    std::size_t k = 0;
    for (const Item& item : items) {
        Item rest = item;
        while (missing > 0 && rest.distance != 0 && rest.length > kMinMatch &&
               encodable(k + 1, rest.distance, rest.length - 1)) {
            padded.push_back({0, 1});
            ++k;
            --rest.length;
            --missing;
        }
        padded.push_back(rest);
        k += rest.length;
    }
    if (missing != 0) throw std::length_error("image has too few repeats to end on a whole group");
    items = std::move(padded);
}

}  // namespace

std::vector<std::uint8_t> compressSongImage(std::span<const std::uint8_t> image, StreamEnd end) {
    std::vector<Item> items = parseItems(image);
    if (end == StreamEnd::endMark) padToWholeGroups(items);

    std::vector<std::uint8_t> out;
    out.reserve(image.size() + image.size() / 8 + 8);
    std::size_t k = 0;
    for (std::size_t first = 0; first < items.size(); first += 8) {
        const std::size_t flagAt = out.size();
        out.push_back(0);
        std::uint8_t flags = 0;
        const std::size_t last = std::min(items.size(), first + 8);
        for (std::size_t n = first; n < last; ++n) {
            const Item& item = items[n];
            const auto bit = static_cast<std::uint8_t>(0x80 >> (n - first));
            if (item.distance == 0) {
                flags = static_cast<std::uint8_t>(flags | bit);
                out.push_back(image[k]);
            } else {
                const std::uint32_t position = windowPosition(k, item.distance);
                out.push_back(static_cast<std::uint8_t>(position >> 4));
                out.push_back(static_cast<std::uint8_t>(((position & 0x0F) << 4) |
                                                        (item.length - kMinMatch)));
            }
            k += item.length;
        }
        out[flagAt] = flags;
    }
    if (end == StreamEnd::endMark) {
        out.insert(out.end(), {0x00, 0x00, 0x00});
    } else {
        // The decoder applies a reference only when a byte follows it, and an
        // unused flag bit reads as a reference; one more byte ends it cleanly.
        out.push_back(0x00);
    }
    return out;
}

}  // namespace kdb2mid
