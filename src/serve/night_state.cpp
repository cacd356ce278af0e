#include "serve/night_state.hpp"

#include <algorithm>

#include "search/search_text.hpp"

namespace kdb2mid {

std::string_view guideName(GuideLevel level) noexcept {
    switch (level) {
        case GuideLevel::off: return "off";
        case GuideLevel::soft: return "soft";
        case GuideLevel::strong: return "strong";
        case GuideLevel::normal: break;
    }
    return "normal";
}

std::optional<GuideLevel> guideFromName(std::string_view name) noexcept {
    for (const GuideLevel level : {GuideLevel::off, GuideLevel::soft, GuideLevel::normal, GuideLevel::strong}) {
        if (guideName(level) == name) return level;
    }
    return std::nullopt;
}

std::string singerKeyName(std::string_view singer) { return foldForSearch(singer); }

// A character is a byte that does not continue one. Control characters are
// C0, DEL and C1 (U+0080..U+009F, C2 80..C2 9F): a name holds none.
bool acceptableSinger(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x20 || byte == 0x7F) return false;
        if (byte == 0xC2 && i + 1 < text.size() &&
            static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            return false;
        }
        if ((byte & 0xC0) != 0x80) ++characters;
    }
    return characters <= kMaxSingerCharacters;
}

NightChange NightState::add(std::int32_t song, std::string title, std::string singer, int key,
                            std::string phone, QueueEntry& added) {
    if (entries.size() >= kMaxQueueEntries) return NightChange::queueFull;
    if (!phone.empty() &&
        std::count_if(entries.begin(), entries.end(), [&](const QueueEntry& entry) {
            return entry.phone == phone;
        }) >= static_cast<std::ptrdiff_t>(kMaxEntriesPerPhone)) {
        return NightChange::phoneFull;
    }
    added = {lastId + 1, song, std::move(title), std::move(singer), key, std::move(phone)};
    entries.push_back(added);
    ++lastId;
    ++version;
    return NightChange::done;
}

NightChange NightState::remove(std::uint64_t id, std::string_view phone, bool host) {
    const auto entry = std::find_if(entries.begin(), entries.end(),
                                    [id](const QueueEntry& e) { return e.id == id; });
    if (entry == entries.end()) return NightChange::noSuchEntry;
    if (!host && (phone.empty() || entry->phone != phone)) return NightChange::notYours;
    entries.erase(entry);
    ++version;
    return NightChange::done;
}

NightChange NightState::move(std::uint64_t id, std::size_t to) {
    const auto entry = std::find_if(entries.begin(), entries.end(),
                                    [id](const QueueEntry& e) { return e.id == id; });
    if (entry == entries.end()) return NightChange::noSuchEntry;
    const auto from = static_cast<std::size_t>(entry - entries.begin());
    to = std::min(to, entries.size() - 1);
    if (from == to) return NightChange::unchanged;
    QueueEntry moved = std::move(*entry);
    entries.erase(entry);
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(to), std::move(moved));
    ++version;
    return NightChange::done;
}

NightChange NightState::next(std::optional<std::uint64_t> after) {
    if (after && (!playing || playing->id != *after)) return NightChange::unchanged;
    if (entries.empty()) {
        if (!playing) return NightChange::unchanged;
        playing.reset();
        controls = {};
        ++version;
        return NightChange::done;
    }
    playing = std::move(entries.front());
    entries.pop_front();
    controls = {};
    controls.key = playing->key;
    history.push_front({playing->song, playing->title, playing->singer, playing->key});
    if (history.size() > kHistoryKept) history.pop_back();
    rememberKey(playing->singer, playing->song, playing->key);
    ++version;
    return NightChange::done;
}

NightChange NightState::setControls(const ControlsChange& change) {
    if (!playing) return NightChange::nothingPlaying;
    PlayControls changed = controls;
    if (change.paused) changed.paused = *change.paused;
    if (change.key) changed.key = *change.key;
    if (change.tempo) changed.tempo = *change.tempo;
    if (change.guide) changed.guide = *change.guide;
    if (changed == controls) return NightChange::unchanged;
    if (changed.key != controls.key) rememberKey(playing->singer, playing->song, changed.key);
    controls = changed;
    ++version;
    return NightChange::done;
}

void NightState::rememberKey(std::string_view singer, std::int32_t song, int key) {
    std::string name = singerKeyName(singer);
    if (name.empty()) return;
    auto found = keys.find(name);
    if (found == keys.end()) {
        if (keys.size() >= kMaxRememberedSingers) return;
        found = keys.emplace(std::move(name), SingerKeys{}).first;
    }
    SingerKeys& known = found->second;
    known.usual = key;
    if (known.songs.contains(song) || known.songs.size() < kMaxRememberedSongsPerSinger) {
        known.songs[song] = key;
    }
}

std::optional<int> NightState::songKey(std::string_view singer, std::int32_t song) const {
    const auto found = keys.find(singerKeyName(singer));
    if (found == keys.end()) return std::nullopt;
    const auto key = found->second.songs.find(song);
    if (key == found->second.songs.end()) return std::nullopt;
    return key->second;
}

std::optional<int> NightState::usualKey(std::string_view singer) const {
    const auto found = keys.find(singerKeyName(singer));
    if (found == keys.end()) return std::nullopt;
    return found->second.usual;
}

}  // namespace kdb2mid
