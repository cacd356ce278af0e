#include "convert/convert_run.hpp"

#include <system_error>
#include <utility>

#include "convert/file_names.hpp"
#include "convert/outputs.hpp"
#include "io/file_io.hpp"
#include "messages/messages.hpp"

namespace kdb2mid {

LyricText lyricTextFor(const std::string* lyrics, const ConvertOptions& options) {
    std::optional<LyricText> requested;
    if (lyrics != nullptr) requested = *lyrics == "utf8" ? LyricText::utf8 : LyricText::stored;
    bool readable = false;
    for (const OutputRow& row : outputTable()) {
        readable = readable || (row.needs.readableText && options.outputs.has(row.id));
    }
    return chosenLyricText(requested, readable);
}

namespace {

// The first setting given that no output asked for uses.
std::string unusedSetting(const ConvertOptions& options, std::span<const GivenSetting> given) {
    for (const GivenSetting& setting : given) {
        if (!rowUsed(*setting.row, options)) return setting.row->settingUnused(setting.setting->option);
    }
    return {};
}

}  // namespace

std::string takeSettings(ConvertOptions& options, std::span<const GivenSetting> given) {
    if (std::optional<std::string> missing = changedOutputMissing(options)) return *missing;
    if (std::string unused = unusedSetting(options, given); !unused.empty()) return unused;
    for (const GivenSetting& setting : given) {
        if (std::string refused = setting.setting->take(setting.text, options); !refused.empty()) {
            return refused;
        }
    }
    // Once taken: an output may refuse a setting's value (--stems a muted melody).
    for (const OutputRow& row : outputTable()) {
        if (row.refuses == nullptr || !options.outputs.has(row.id)) continue;
        if (std::string refused = row.refuses(options); !refused.empty()) return refused;
    }
    return {};
}

std::optional<RunRefusal> prepareRun(const ConvertRequest& request, PreparedRun& run) {
    run.options = request.options;
    for (const OutputRow& row : outputTable()) {
        if (row.prepare == nullptr || !rowUsed(row, run.options)) continue;
        if (std::optional<RunRefusal> refused = row.prepare(run)) return refused;
    }
    if (const auto error = run.database.open(request.databaseFolder);
        error != SongDatabase::OpenError::none) {
        return RunRefusal{databaseOpenFailure(error, request.databaseFolder)};
    }
    if (const int error = createFolder(request.outputFolder); error != 0) {
        return RunRefusal{cannotCreateFolder(request.outputFolder, error)};
    }
    // What an earlier run, killed while writing here, left under temporary names.
    removeStaleTemporaries(request.outputFolder);

    run.plan = planSongs(request, run.database.firstSong(), run.database.songCount());
    if (request.shard || !request.namePattern.empty()) listRunSongs(run.plan, run.database);
    // Names are told apart over the whole run, before a shard takes its
    // songs: two songs of one title in different shards must not both get
    // the plain name, or the shards together would not write one run's files.
    if (!request.namePattern.empty()) {
        run.options.fileStems =
            nameSongFiles(run.database, run.plan.songs, request.namePattern, run.options);
    }
    if (request.shard) run.plan.songs = shardSongs(run.plan.songs, *request.shard);
    if (run.plan.outsideIndex > 0) {
        run.notices.push_back(
            songsOutsideIndex(request.range->first, request.range->last, run.plan.outsideIndex));
    }
    return std::nullopt;
}

CommandReport convertSongHere(std::int32_t songNumber) {
    SongDatabase database;
    if (const auto error = database.open({}); error != SongDatabase::OpenError::none) {
        return {{databaseOpenFailure(error)}, {}, true};
    }
    removeStaleTemporaries({});
    ConvertWorkspace work;
    SongResult result = convertSong(database, songNumber, {}, ConvertOptions{}, work);
    return {std::move(result.messages), {}, result.outcome != SongResult::Outcome::converted};
}

}  // namespace kdb2mid
