#include "serve/night_file.hpp"

#include <algorithm>
#include <limits>
#include <set>

#include <nlohmann/json.hpp>

#include "midi/track_transform.hpp"
#include "search/catalogue.hpp"
#include "serve/guest_access.hpp"

namespace kdb2mid {

namespace {

using Json = nlohmann::ordered_json;

constexpr std::uint64_t kMaxCount = (std::uint64_t{1} << 53) - 1;  // exact in JavaScript
// The file nests five deep (the keys' song pairs); deeper input is not one.
constexpr int kMaxNesting = 5;
// A folded singer's name: 40 characters, each at most a few bytes, some
// (ß) folding to two letters.
constexpr std::size_t kMaxFoldedSingerBytes = 40 * 4 * 2;

std::string dump(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

Json entryObject(const QueueEntry& entry) {
    return Json{{"id", entry.id},         {"song", entry.song}, {"title", entry.title},
                {"singer", entry.singer}, {"key", entry.key},   {"phone", entry.phone}};
}

Json sungJson(const SungSong& sung) {
    return Json{{"song", sung.song}, {"title", sung.title}, {"singer", sung.singer},
                {"key", sung.key}};
}

Json controlsJson(const PlayControls& controls) {
    return Json{{"paused", controls.paused},
                {"key", controls.key},
                {"tempo", controls.tempo},
                {"guide", std::string(guideName(controls.guide))}};
}

Json entriesJson(const NightState& night) {
    Json entries = Json::array();
    for (const QueueEntry& entry : night.entries) entries.push_back(entryObject(entry));
    return entries;
}

// Whether bytes nest arrays and objects at most kMaxNesting deep, brackets
// inside strings not counted: the parser then never builds a deep value.
bool shallow(std::span<const std::uint8_t> bytes) {
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t c = bytes[i];
        if (inString) {
            if (c == '\\') ++i;
            else if (c == '"') inString = false;
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            if (++depth > kMaxNesting) return false;
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return true;
}

std::optional<std::uint64_t> count(const Json& object, const char* name) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_number_unsigned()) return std::nullopt;
    const auto value = found->get<std::uint64_t>();
    if (value > kMaxCount) return std::nullopt;
    return value;
}

std::optional<std::int64_t> whole(const Json& object, const char* name, std::int64_t low,
                                  std::int64_t high) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_number_integer()) return std::nullopt;
    const auto value = found->get<std::int64_t>();
    if (value < low || value > high) return std::nullopt;
    return value;
}

std::optional<std::string> text(const Json& object, const char* name, std::size_t maxBytes) {
    const auto found = object.find(name);
    if (found == object.end() || !found->is_string()) return std::nullopt;
    const std::string& value = found->get_ref<const std::string&>();
    if (value.size() > maxBytes) return std::nullopt;
    return value;
}

bool phoneId(std::string_view id) {
    return id.empty() || (id.size() == kPhoneIdDigits &&
                          std::all_of(id.begin(), id.end(), [](char c) {
                              return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
                          }));
}

std::optional<SungSong> readSung(const Json& value) {
    if (!value.is_object()) return std::nullopt;
    const auto song = whole(value, "song", 1, std::numeric_limits<std::int32_t>::max());
    auto title = text(value, "title", kMaxCatalogueTextBytes);
    auto singer = text(value, "singer", kMaxSingerCharacters * 4);
    const auto key = whole(value, "key", kMinTranspose, kMaxTranspose);
    if (!song || !title || !singer || !key || !acceptableSinger(*singer)) return std::nullopt;
    return SungSong{static_cast<std::int32_t>(*song), std::move(*title), std::move(*singer),
                    static_cast<int>(*key)};
}

std::optional<QueueEntry> readEntry(const Json& value, std::uint64_t lastId) {
    std::optional<SungSong> sung = readSung(value);
    if (!sung) return std::nullopt;
    const auto id = count(value, "id");
    auto phone = text(value, "phone", kPhoneIdDigits);
    if (!id || *id == 0 || *id > lastId || !phone || !phoneId(*phone)) return std::nullopt;
    return QueueEntry{*id, sung->song, std::move(sung->title), std::move(sung->singer), sung->key,
                      std::move(*phone)};
}

std::optional<PlayControls> readControls(const Json& value) {
    if (!value.is_object()) return std::nullopt;
    const auto paused = value.find("paused");
    const auto key = whole(value, "key", kMinTranspose, kMaxTranspose);
    const auto tempo = whole(value, "tempo", kMinTempoPercent, kMaxTempoPercent);
    const auto guide = text(value, "guide", 6);
    const std::optional<GuideLevel> level = guide ? guideFromName(*guide) : std::nullopt;
    if (paused == value.end() || !paused->is_boolean() || !key || !tempo || !level) {
        return std::nullopt;
    }
    return PlayControls{paused->get<bool>(), static_cast<int>(*key), static_cast<int>(*tempo),
                        *level};
}

bool readKeys(const Json& list, std::map<std::string, SingerKeys>& keys) {
    if (!list.is_array() || list.size() > kMaxRememberedSingers) return false;
    for (const Json& item : list) {
        if (!item.is_object()) return false;
        std::optional<std::string> singer = text(item, "singer", kMaxFoldedSingerBytes);
        const auto usual = whole(item, "usual", kMinTranspose, kMaxTranspose);
        const auto songs = item.find("songs");
        if (!singer || singer->empty() || singerKeyName(*singer) != *singer || !usual ||
            songs == item.end() || !songs->is_array() ||
            songs->size() > kMaxRememberedSongsPerSinger || keys.contains(*singer)) {
            return false;
        }
        SingerKeys known{static_cast<int>(*usual), {}};
        for (const Json& pair : *songs) {
            if (!pair.is_array() || pair.size() != 2 || !pair[0].is_number_integer() ||
                !pair[1].is_number_integer()) {
                return false;
            }
            const auto song = pair[0].get<std::int64_t>();
            const auto key = pair[1].get<std::int64_t>();
            if (song < 1 || song > std::numeric_limits<std::int32_t>::max() ||
                key < kMinTranspose || key > kMaxTranspose ||
                !known.songs.emplace(static_cast<std::int32_t>(song), static_cast<int>(key))
                     .second) {
                return false;
            }
        }
        keys.emplace(std::move(*singer), std::move(known));
    }
    return true;
}

std::optional<NightState> readNight(const Json& file) {
    if (!file.is_object() || file.value("kdb2mid-night", Json()) != Json(kNightFileFormat)) {
        return std::nullopt;
    }
    NightState night;
    const auto version = count(file, "version");
    const auto lastId = count(file, "lastId");
    if (!version || !lastId) return std::nullopt;
    night.version = *version;
    night.lastId = *lastId;

    std::set<std::uint64_t> ids;
    std::map<std::string, std::size_t> perPhone;
    const auto playing = file.find("playing");
    if (playing == file.end()) return std::nullopt;
    if (!playing->is_null()) {
        night.playing = readEntry(*playing, night.lastId);
        if (!night.playing) return std::nullopt;
        ids.insert(night.playing->id);
    }
    const auto controls = file.find("controls");
    if (controls == file.end()) return std::nullopt;
    const std::optional<PlayControls> played = readControls(*controls);
    if (!played) return std::nullopt;
    night.controls = *played;

    const auto entries = file.find("entries");
    if (entries == file.end() || !entries->is_array() || entries->size() > kMaxQueueEntries) {
        return std::nullopt;
    }
    for (const Json& item : *entries) {
        std::optional<QueueEntry> entry = readEntry(item, night.lastId);
        if (!entry || !ids.insert(entry->id).second ||
            (!entry->phone.empty() && ++perPhone[entry->phone] > kMaxEntriesPerPhone)) {
            return std::nullopt;
        }
        night.entries.push_back(std::move(*entry));
    }
    const auto history = file.find("history");
    if (history == file.end() || !history->is_array() || history->size() > kHistoryKept) {
        return std::nullopt;
    }
    for (const Json& item : *history) {
        std::optional<SungSong> sung = readSung(item);
        if (!sung) return std::nullopt;
        night.history.push_back(std::move(*sung));
    }
    const auto keys = file.find("keys");
    if (keys == file.end() || !readKeys(*keys, night.keys)) return std::nullopt;
    // Missing or not a salt: the server chooses a new one (phones' entries
    // are then no longer their own, nothing else is lost).
    if (const auto salt = text(file, "phoneSalt", 32); salt && saltFromText(*salt)) {
        night.phoneSalt = *salt;
    }
    return night;
}

}  // namespace

std::string entryJson(const QueueEntry& entry) { return dump(entryObject(entry)); }

std::string nightJson(const NightState& night) {
    Json object = Json::object();
    object["version"] = night.version;
    object["playing"] = night.playing ? entryObject(*night.playing) : Json(nullptr);
    object["entries"] = entriesJson(night);
    object["controls"] = controlsJson(night.controls);
    Json history = Json::array();
    for (std::size_t i = 0; i < night.history.size() && i < kHistoryShown; ++i) {
        history.push_back(sungJson(night.history[i]));
    }
    object["history"] = std::move(history);
    return dump(object);
}

std::string nightFileText(const NightState& night) {
    Json object = Json::object();
    object["kdb2mid-night"] = kNightFileFormat;
    object["version"] = night.version;
    object["lastId"] = night.lastId;
    object["playing"] = night.playing ? entryObject(*night.playing) : Json(nullptr);
    object["controls"] = controlsJson(night.controls);
    object["entries"] = entriesJson(night);
    Json history = Json::array();
    for (const SungSong& sung : night.history) history.push_back(sungJson(sung));
    object["history"] = std::move(history);
    Json keys = Json::array();
    for (const auto& [singer, known] : night.keys) {
        Json songs = Json::array();
        for (const auto& [song, key] : known.songs) songs.push_back(Json::array({song, key}));
        keys.push_back(Json{{"singer", singer}, {"usual", known.usual}, {"songs", std::move(songs)}});
    }
    object["keys"] = std::move(keys);
    object["phoneSalt"] = night.phoneSalt;
    return dump(object) + "\n";
}

std::optional<NightState> readNightFile(std::span<const std::uint8_t> bytes) {
    if (bytes.size() > kMaxNightFileBytes || !shallow(bytes)) return std::nullopt;
    const Json file = Json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (file.is_discarded()) return std::nullopt;
    try {
        return readNight(file);
    } catch (const nlohmann::json::exception&) {
        // Every field's type is checked before it is read; should one slip
        // through, the file is still only damaged.
        return std::nullopt;
    }
}

}  // namespace kdb2mid
