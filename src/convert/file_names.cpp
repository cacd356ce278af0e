#include "convert/file_names.hpp"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "format/utf8_text.hpp"

namespace kdb2mid {

namespace {

constexpr std::array<std::string_view, 3> kFields = {"{song}", "{title}", "{artist}"};

// Names Windows gives to devices, with or without an extension: a file called
// "CON.mid" or "nul.kar" cannot be created or opened there.
constexpr std::array<std::string_view, 22> kReservedNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};

bool isForbidden(char32_t c) noexcept {
    switch (c) {
        case '/': case '\\': case ':': case '*': case '?': case '"': case '<': case '>': case '|':
            return true;
        default:
            return isControlCharacter(c);
    }
}

char asciiUpper(char c) noexcept { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool isReserved(std::string_view stem) noexcept {
    // "CON", "con.txt" and "Con " alike: the device name is what comes before
    // the first dot, trailing spaces ignored.
    std::string_view base = stem.substr(0, stem.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    for (std::string_view reserved : kReservedNames) {
        if (base.size() != reserved.size()) continue;
        bool same = true;
        for (std::size_t i = 0; i < base.size() && same; ++i) {
            same = asciiUpper(base[i]) == reserved[i];
        }
        if (same) return true;
    }
    return false;
}

// Lower case for the letters file systems fold: ASCII, Latin-1 and the Latin
// letters Vietnamese uses (the upper case is the even code point of a pair).
char32_t foldCase(char32_t c) noexcept {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    const bool pairedBlock = (c >= 0x100 && c <= 0x12F) || (c >= 0x132 && c <= 0x137) ||
                             (c >= 0x14A && c <= 0x177) || (c >= 0x1E00 && c <= 0x1EFF) ||
                             c == 0x1A0;
    if (pairedBlock) return c | 1;
    if (c == 0x1AF) return 0x1B0;
    return c;
}

std::string foldedKey(std::string_view stem) {
    std::string key;
    key.reserve(stem.size());
    for (std::size_t i = 0; i < stem.size();) {
        char32_t c = 0;
        const std::size_t length = utf8SequenceAt(stem, i, c);
        if (length == 0) {
            key.push_back(stem[i++]);
            continue;
        }
        appendUtf8(foldCase(c), key);
        i += length;
    }
    return key;
}

}  // namespace

std::optional<std::string> checkNamePattern(std::string_view pattern) {
    if (pattern.empty()) return "the name pattern is empty";
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern[i] == '}') return "a \"}\" without its \"{\"";
        if (pattern[i] != '{') {
            ++i;
            continue;
        }
        const std::size_t close = pattern.find('}', i);
        if (close == std::string_view::npos) return "a \"{\" without its \"}\"";
        const std::string_view field = pattern.substr(i, close - i + 1);
        bool known = false;
        for (std::string_view name : kFields) known = known || field == name;
        if (!known) {
            return "unknown field " + std::string(field) + " (use {song}, {title} or {artist})";
        }
        i = close + 1;
    }
    return std::nullopt;
}

bool patternUsesTitles(std::string_view pattern) noexcept {
    return pattern.find("{title}") != std::string_view::npos ||
           pattern.find("{artist}") != std::string_view::npos;
}

std::string fileStem(std::string_view pattern, const NameFields& fields) {
    std::string filled;
    for (std::size_t i = 0; i < pattern.size();) {
        if (pattern.substr(i, 6) == "{song}") {
            filled += std::to_string(fields.song);
            i += 6;
        } else if (pattern.substr(i, 7) == "{title}") {
            filled += fields.title;
            i += 7;
        } else if (pattern.substr(i, 8) == "{artist}") {
            filled += fields.artist;
            i += 8;
        } else {
            filled.push_back(pattern[i++]);
        }
    }

    std::string stem;
    for (std::size_t i = 0; i < filled.size();) {
        char32_t c = 0;
        const std::size_t length = utf8SequenceAt(filled, i, c);
        if (stem.size() + std::max<std::size_t>(length, 1) > kMaxFileStemBytes) break;
        if (length == 0) {
            stem.push_back('_');
            ++i;
            continue;
        }
        if (isForbidden(c)) {
            stem.push_back('_');
        } else {
            stem.append(filled, i, length);
        }
        i += length;
    }
    const auto trimmable = [](char c) { return c == ' ' || c == '.'; };
    while (!stem.empty() && trimmable(stem.back())) stem.pop_back();
    std::size_t lead = 0;
    while (lead < stem.size() && stem[lead] == ' ') ++lead;
    stem.erase(0, lead);
    if (stem.empty()) return std::to_string(fields.song);
    if (isReserved(stem)) stem = "_" + stem;
    return stem;
}

std::vector<std::string> distinctStems(std::span<const std::string> stems) {
    // A stem alone: songs clash exactly when their stems do.
    const std::vector<std::vector<std::string>> bare(stems.size(), std::vector<std::string>{""});
    return distinctStems(stems, bare);
}

std::vector<std::string> distinctStems(std::span<const std::string> stems,
                                       std::span<const std::vector<std::string>> suffixes) {
    std::vector<std::string> result;
    result.reserve(stems.size());
    // The files every song would write under its own stem, and those given so far.
    std::unordered_set<std::string> taken;
    for (std::size_t i = 0; i < stems.size(); ++i) {
        for (const std::string& suffix : suffixes[i]) taken.insert(foldedKey(stems[i] + suffix));
    }
    std::unordered_set<std::string> used;
    std::vector<std::string> keys;
    const auto filesOf = [&](const std::string& name, std::size_t song) {
        keys.clear();
        for (const std::string& suffix : suffixes[song]) keys.push_back(foldedKey(name + suffix));
    };
    const auto isUsed = [&] {
        return std::any_of(keys.begin(), keys.end(),
                           [&](const std::string& key) { return used.contains(key); });
    };
    for (std::size_t i = 0; i < stems.size(); ++i) {
        std::string name = stems[i];
        filesOf(name, i);
        if (isUsed()) {
            // A later song with a file name already given: the first number
            // that gives files no song of the run has, not even one further on.
            for (unsigned n = 2;; ++n) {
                name = stems[i] + " (" + std::to_string(n) + ")";
                filesOf(name, i);
                const bool free = std::none_of(keys.begin(), keys.end(), [&](const std::string& key) {
                    return taken.contains(key);
                });
                if (free && !isUsed()) break;
            }
        }
        used.insert(keys.begin(), keys.end());
        result.push_back(std::move(name));
    }
    return result;
}

}  // namespace kdb2mid
