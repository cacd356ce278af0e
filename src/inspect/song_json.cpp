#include "inspect/song_json.hpp"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

#include "format/utf8_text.hpp"
#include "format/vni_text.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

namespace {

using Json = nlohmann::ordered_json;

// The JSON library throws on malformed UTF-8 when it writes; every string
// is made well-formed before it gets there.
Json text(std::string_view value) { return wellFormedUtf8(value); }

// Stored texts as UTF-8, leading spaces dropped when trim says so.
Json texts(const std::vector<std::vector<std::uint8_t>>& values, bool trim) {
    Json array = Json::array();
    for (const std::vector<std::uint8_t>& value : values) {
        std::string decoded = decodeVniToUtf8(value);
        if (trim) decoded.erase(0, std::min(decoded.find_first_not_of(' '), decoded.size()));
        array.push_back(text(decoded));
    }
    return array;
}

const char* describe(ChorusPartProblem problem) {
    switch (problem) {
        case ChorusPartProblem::endBeforeStart: return kChorusEndBeforeStart;
        case ChorusPartProblem::dataMissing: return kChorusDataMissing;
        case ChorusPartProblem::pastDataEnd: return kChorusPastDataEnd;
        case ChorusPartProblem::none: break;
    }
    return "";
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
    object["titles"] = texts(facts.titles, false);
    object["tracks"] = facts.tracks;
    object["ticks"] = facts.ticks;
    // To the millisecond; JSON has no infinity or NaN.
    const double seconds = std::isfinite(facts.seconds) ? facts.seconds : 0.0;
    object["seconds"] = std::round(seconds * 1000) / 1000;
    object["lyrics"] = texts(facts.lyricLines, true);
    Json parts = Json::array();
    for (const ChorusPartFacts& part : facts.chorusParts) {
        Json entry = Json::object();
        entry["part"] = part.part;
        if (part.problem == ChorusPartProblem::none) {
            entry["bytes"] = part.bytes;
            entry["file"] = text(part.file);
        } else {
            entry["problem"] = describe(part.problem);
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
