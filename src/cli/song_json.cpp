#include "cli/song_json.hpp"

#include <cmath>

#include <nlohmann/json.hpp>

#include "format/utf8_text.hpp"

namespace kdb2mid {

namespace {

using Json = nlohmann::ordered_json;

// The JSON library throws on malformed UTF-8 when it writes; every string
// is made well-formed before it gets there.
Json text(std::string_view value) { return wellFormedUtf8(value); }

Json texts(const std::vector<std::string>& values) {
    Json array = Json::array();
    for (const std::string& value : values) array.push_back(text(value));
    return array;
}

std::string dump(const Json& value) {
    // Compact, UTF-8 as it is; replace stands behind wellFormedUtf8 so that
    // no text can make the writer throw.
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace

std::string listJson(std::int32_t song, std::string_view name) {
    Json object = Json::object();
    object["song"] = song;
    object["name"] = text(name);
    return dump(object);
}

std::string infoJson(const SongFacts& facts) {
    Json object = Json::object();
    object["song"] = facts.song;
    object["titles"] = texts(facts.titles);
    object["tracks"] = facts.tracks;
    object["ticks"] = facts.ticks;
    // To the millisecond; JSON has no infinity or NaN.
    const double seconds = std::isfinite(facts.seconds) ? facts.seconds : 0.0;
    object["seconds"] = std::round(seconds * 1000) / 1000;
    object["lyrics"] = texts(facts.lyricLines);
    Json parts = Json::array();
    for (const ChorusPartFacts& part : facts.chorusParts) {
        Json entry = Json::object();
        entry["part"] = part.part;
        if (part.problem.empty()) {
            entry["bytes"] = part.bytes;
            entry["file"] = text(part.file);
        } else {
            entry["problem"] = text(part.problem);
        }
        parts.push_back(std::move(entry));
    }
    object["chorus"] = std::move(parts);
    Json melody = Json::object();
    melody["track"] = facts.melody.track > 0 ? Json(facts.melody.track) : Json(nullptr);
    melody["words"] = facts.melody.words;
    melody["covered"] = facts.melody.covered;
    object["melody"] = std::move(melody);
    return dump(object);
}

}  // namespace kdb2mid
