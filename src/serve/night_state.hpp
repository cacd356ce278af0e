// The karaoke night as the server keeps it: the songs waiting, the one on
// the screen with its live controls, the songs sung, and each singer's keys.
// One value, changed only through the operations below, each of which
// either changes it and raises its version by one or leaves it exactly as it
// was. Kept by the server alone (every screen and phone reads the same
// night) and saved to the state file after every change (night_file.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kdb2mid {

// What a guest may ask for with a song: a key change within what convert's
// --transpose takes (midi/track_transform.hpp), a name this long.
inline constexpr std::size_t kMaxSingerCharacters = 40;
// A night never gets near these; a client looping on POST stops here
// instead of filling the server's memory or the screen.
inline constexpr std::size_t kMaxQueueEntries = 200;
inline constexpr std::size_t kMaxEntriesPerPhone = 20;
// The history the pages get, and the longer one the state file keeps.
inline constexpr std::size_t kHistoryShown = 50;
inline constexpr std::size_t kHistoryKept = 1000;
// Singers and songs whose keys are remembered; past these, new ones are not.
inline constexpr std::size_t kMaxRememberedSingers = 1000;
inline constexpr std::size_t kMaxRememberedSongsPerSinger = 100;
// A phone's public id: hexadecimal digits.
inline constexpr std::size_t kPhoneIdDigits = 12;

struct QueueEntry {
    std::uint64_t id = 0;  // unique for the night, across restarts, from 1 on
    std::int32_t song = 0;
    std::string title;
    std::string singer;  // "" when not given
    int key = 0;         // semitones, kMinTranspose..kMaxTranspose
    std::string phone;   // the queueing phone's public id; "" for the TV

    bool operator==(const QueueEntry&) const = default;
};

// The guide melody's levels, as the TV page names them.
enum class GuideLevel : std::uint8_t { off, soft, normal, strong };
std::string_view guideName(GuideLevel level) noexcept;
std::optional<GuideLevel> guideFromName(std::string_view name) noexcept;

// How the song playing is played; reset whenever another song starts.
struct PlayControls {
    bool paused = false;
    int key = 0;  // starts at the entry's key
    int tempo = 100;
    GuideLevel guide = GuideLevel::normal;

    bool operator==(const PlayControls&) const = default;
};

// A song that started playing.
struct SungSong {
    std::int32_t song = 0;
    std::string title;
    std::string singer;
    int key = 0;

    bool operator==(const SungSong&) const = default;
};

// One singer's keys: the last key of each song, and the key of their most
// recent song.
struct SingerKeys {
    int usual = 0;
    std::map<std::int32_t, int> songs;

    bool operator==(const SingerKeys&) const = default;
};

// Part of a controls change: the fields given.
struct ControlsChange {
    std::optional<bool> paused;
    std::optional<int> key;
    std::optional<int> tempo;
    std::optional<GuideLevel> guide;
};

enum class NightChange : std::uint8_t {
    done,
    unchanged,      // allowed, but there was nothing to change
    queueFull,      // kMaxQueueEntries waiting
    phoneFull,      // this phone has kMaxEntriesPerPhone waiting
    noSuchEntry,
    notYours,       // another phone's entry, and not the host asking
    nothingPlaying,
};

struct NightState {
    std::uint64_t version = 0;
    std::uint64_t lastId = 0;
    std::optional<QueueEntry> playing;
    PlayControls controls;  // meaningful while a song plays
    std::deque<QueueEntry> entries;
    std::deque<SungSong> history;              // newest first, at most kHistoryKept
    std::map<std::string, SingerKeys> keys;    // by singerKeyName
    // The salt of the phones' public ids (saltText), kept with the night so
    // that after a restart a phone's entries are still its own; "" until the
    // server has chosen one.
    std::string phoneSalt;

    bool operator==(const NightState&) const = default;

    // Appends an entry under a new id; added holds it when done.
    NightChange add(std::int32_t song, std::string title, std::string singer, int key,
                    std::string phone, QueueEntry& added);
    // Removes entry id: the host's, or its own phone's (phone not "").
    NightChange remove(std::uint64_t id, std::string_view phone, bool host);
    // Moves entry id to position to of the entries (clamped to the last).
    NightChange move(std::uint64_t id, std::size_t to);
    // The first entry starts playing (into the history, its singer's key
    // remembered); with none waiting, nothing plays. With after, only when
    // entry after is the one playing, so that two "song ended" from two
    // screens move on once.
    NightChange next(std::optional<std::uint64_t> after);
    NightChange setControls(const ControlsChange& change);

    // The singer's key for song last time and usual key; nothing when not
    // remembered.
    std::optional<int> songKey(std::string_view singer, std::int32_t song) const;
    std::optional<int> usualKey(std::string_view singer) const;

private:
    void rememberKey(std::string_view singer, std::int32_t song, int key);
};

// The name a singer's keys are kept under: case and marks folded away
// ("Ánh" and "anh" are one singer); "" for a name without letters or digits,
// whose keys are not kept.
std::string singerKeyName(std::string_view singer);

// Whether text is a name a guest may give: at most kMaxSingerCharacters
// characters, no control characters. text is valid UTF-8.
bool acceptableSinger(std::string_view text);

}  // namespace kdb2mid
