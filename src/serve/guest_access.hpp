// Who is asking: a phone's public id from its token, the host's PIN with
// its limit on guessing, and which peers are this machine itself. The
// server never shows a token: entries carry the public id, which a salt
// drawn at every start keeps from being linked to the token or across
// nights.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kdb2mid {

// A phone's token: what the page makes once (at least 128 random bits in
// base64url) and sends with every request.
inline constexpr std::size_t kMinPhoneTokenCharacters = 22;
inline constexpr std::size_t kMaxPhoneTokenCharacters = 64;
// The host's PIN: digits, this many; a new one of kDefaultPinDigits each start.
inline constexpr std::size_t kMinPinDigits = 4;
inline constexpr std::size_t kMaxPinDigits = 8;
inline constexpr std::size_t kDefaultPinDigits = 4;
// After this many wrong PINs from one address within kPinWindow, every
// request from it that carries a PIN is refused for the rest of the window.
inline constexpr int kWrongPinsAllowed = 5;
inline constexpr std::chrono::seconds kPinWindow{60};
// Addresses whose wrong PINs are counted at once; the oldest are forgotten
// past it, so that a flood of addresses cannot grow the table.
inline constexpr std::size_t kMaxCountedAddresses = 4096;

using Salt = std::array<std::uint64_t, 2>;

// A salt from the system's random source.
Salt randomSalt();
// A salt as 32 lower-case hexadecimal digits, and back: nothing from text
// that is not such digits.
std::string saltText(const Salt& salt);
std::optional<Salt> saltFromText(std::string_view text) noexcept;
// kDefaultPinDigits random digits.
std::string randomPin();
// Whether text is kMinPinDigits..kMaxPinDigits digits.
bool validPin(std::string_view text) noexcept;

// The public id of token: kPhoneIdDigits lower-case hexadecimal digits of a
// keyed hash (SipHash-2-4) of the token under salt. "" for an empty token
// (a request without a phone: the TV); nothing when token is not 22..64 of
// [A-Za-z0-9_-].
std::optional<std::string> publicPhoneId(std::string_view token, const Salt& salt);

// Whether a connection's peer address (as the socket gives it, never a
// header) is this machine's loopback: 127.0.0.1, ::1 or ::ffff:127.0.0.1.
// Other 127.x addresses are not: tests use them to stand for phones.
bool loopbackPeer(std::string_view address) noexcept;

// Whether a Host header names this machine: its loopback names, or one of
// addresses (IP literals of its interfaces, IPv6 without brackets), with or
// without a port.
bool thisMachineHost(std::string_view host, std::span<const std::string> addresses) noexcept;

// Counts wrong PINs by peer address. Not safe from several threads; the
// server holds a lock around it.
class PinGuard {
public:
    using Clock = std::chrono::steady_clock;
    enum class Verdict : std::uint8_t { right, wrong, blocked };

    explicit PinGuard(std::string pin) : pin_(std::move(pin)) {}
    // The verdict on pin (not empty) from peer at now; a wrong one is counted.
    Verdict check(std::string_view pin, const std::string& peer, Clock::time_point now);
    const std::string& pin() const noexcept { return pin_; }

private:
    struct Count {
        Clock::time_point since;
        int wrong = 0;
    };
    std::string pin_;
    std::map<std::string, Count> counts_;
};

}  // namespace kdb2mid
