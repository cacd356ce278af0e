#include "serve/guest_access.hpp"

#include <algorithm>
#include <random>

#include "serve/night_state.hpp"

namespace kdb2mid {

namespace {

constexpr std::uint64_t rotate(std::uint64_t x, int bits) noexcept {
    return (x << bits) | (x >> (64 - bits));
}

void sipRound(std::uint64_t (&v)[4]) noexcept {
    v[0] += v[1];
    v[1] = rotate(v[1], 13) ^ v[0];
    v[0] = rotate(v[0], 32);
    v[2] += v[3];
    v[3] = rotate(v[3], 16) ^ v[2];
    v[0] += v[3];
    v[3] = rotate(v[3], 21) ^ v[0];
    v[2] += v[1];
    v[1] = rotate(v[1], 17) ^ v[2];
    v[2] = rotate(v[2], 32);
}

// SipHash-2-4: a keyed hash, so that without the salt an id says nothing
// about the token, and no token can be made to give a chosen id.
std::uint64_t sipHash(std::string_view bytes, const Salt& key) noexcept {
    std::uint64_t v[4] = {key[0] ^ 0x736f6d6570736575ULL, key[1] ^ 0x646f72616e646f6dULL,
                          key[0] ^ 0x6c7967656e657261ULL, key[1] ^ 0x7465646279746573ULL};
    const auto word = [&](std::size_t at, std::size_t count) {
        std::uint64_t m = 0;
        for (std::size_t i = 0; i < count; ++i) {
            m |= std::uint64_t{static_cast<unsigned char>(bytes[at + i])} << (8 * i);
        }
        return m;
    };
    const std::size_t whole = bytes.size() / 8 * 8;
    for (std::size_t at = 0; at < whole; at += 8) {
        const std::uint64_t m = word(at, 8);
        v[3] ^= m;
        sipRound(v);
        sipRound(v);
        v[0] ^= m;
    }
    const std::uint64_t last = word(whole, bytes.size() - whole) | (std::uint64_t{bytes.size()} << 56);
    v[3] ^= last;
    sipRound(v);
    sipRound(v);
    v[0] ^= last;
    v[2] ^= 0xff;
    for (int i = 0; i < 4; ++i) sipRound(v);
    return v[0] ^ v[1] ^ v[2] ^ v[3];
}

bool tokenCharacter(char c) noexcept {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '-' || c == '_';
}

// host without its port: "[::1]:80" gives "::1", "10.0.0.2:80" "10.0.0.2".
std::string_view hostName(std::string_view host) noexcept {
    if (host.starts_with('[')) {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos) return {};
        const std::string_view rest = host.substr(close + 1);
        if (!rest.empty() && !rest.starts_with(':')) return {};
        return host.substr(1, close - 1);
    }
    return host.substr(0, host.find(':'));
}

}  // namespace

Salt randomSalt() {
    std::random_device source;
    Salt salt{};
    for (std::uint64_t& part : salt) {
        part = (std::uint64_t{source()} << 32) ^ source();
    }
    return salt;
}

std::string saltText(const Salt& salt) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (const std::uint64_t part : salt) {
        for (int shift = 60; shift >= 0; shift -= 4) text += kHex[(part >> shift) & 0xF];
    }
    return text;
}

std::optional<Salt> saltFromText(std::string_view text) noexcept {
    if (text.size() != 32) return std::nullopt;
    Salt salt{};
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return std::nullopt;
        salt[i / 16] = (salt[i / 16] << 4) | static_cast<std::uint64_t>(digit);
    }
    return salt;
}

std::string randomPin() {
    std::random_device source;
    std::uniform_int_distribution<int> digit(0, 9);
    std::string pin;
    for (std::size_t i = 0; i < kDefaultPinDigits; ++i) pin += static_cast<char>('0' + digit(source));
    return pin;
}

bool validPin(std::string_view text) noexcept {
    return text.size() >= kMinPinDigits && text.size() <= kMaxPinDigits &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::string> publicPhoneId(std::string_view token, const Salt& salt) {
    if (token.empty()) return std::string();
    if (token.size() < kMinPhoneTokenCharacters || token.size() > kMaxPhoneTokenCharacters ||
        !std::all_of(token.begin(), token.end(), tokenCharacter)) {
        return std::nullopt;
    }
    const std::uint64_t hash = sipHash(token, salt);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string id(kPhoneIdDigits, '0');
    for (std::size_t i = 0; i < kPhoneIdDigits; ++i) id[i] = kHex[(hash >> (4 * i)) & 0xF];
    return id;
}

bool loopbackPeer(std::string_view address) noexcept {
    return address == "127.0.0.1" || address == "::1" || address == "::ffff:127.0.0.1";
}

bool thisMachineHost(std::string_view host, std::span<const std::string> addresses) noexcept {
    const std::string_view name = hostName(host);
    if (name.empty()) return false;
    const bool localhost =
        name.size() == 9 && std::equal(name.begin(), name.end(), "localhost", [](char x, char y) {
            return (x >= 'A' && x <= 'Z' ? x + 32 : x) == y;
        });
    if (localhost || name == "127.0.0.1" || (name == "::1" && host.starts_with('['))) return true;
    // An IPv6 literal is only ever in brackets; without them a colon is a port.
    return std::any_of(addresses.begin(), addresses.end(), [&](const std::string& address) {
        return address == name && (address.find(':') == std::string::npos) != host.starts_with('[');
    });
}

PinGuard::Verdict PinGuard::check(std::string_view pin, const std::string& peer,
                                  Clock::time_point now) {
    auto counted = counts_.find(peer);
    if (counted != counts_.end() && now - counted->second.since >= kPinWindow) {
        counts_.erase(counted);
        counted = counts_.end();
    }
    if (counted != counts_.end() && counted->second.wrong >= kWrongPinsAllowed) {
        return Verdict::blocked;
    }
    // Every byte compared, so that the time taken does not say how much of a guess was right.
    bool same = pin.size() == pin_.size();
    for (std::size_t i = 0; i < pin.size() && i < pin_.size(); ++i) same &= pin[i] == pin_[i];
    if (same && !pin_.empty()) return Verdict::right;
    if (counted == counts_.end()) {
        if (counts_.size() >= kMaxCountedAddresses) {
            std::erase_if(counts_, [&](const auto& entry) {
                return now - entry.second.since >= kPinWindow;
            });
            if (counts_.size() >= kMaxCountedAddresses) counts_.erase(counts_.begin());
        }
        counted = counts_.emplace(peer, Count{now, 0}).first;
    }
    ++counted->second.wrong;
    return Verdict::wrong;
}

}  // namespace kdb2mid
