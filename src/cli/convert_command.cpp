#include "cli/convert_command.hpp"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#ifdef __linux__
#include <sched.h>
#endif

#include "cli/console.hpp"
#include "cli/exit_status.hpp"
#include "cli/progress_line.hpp"
#include "cli/subcommand.hpp"
#include "convert/batch.hpp"
#include "convert/outputs.hpp"
#include "messages/messages.hpp"
#include "midi/track_transform.hpp"

namespace kdb2mid {

namespace {

// Prints each song's lines as whole lines; the batch calls it under its lock,
// in song order. The progress line is blanked before a message so the two
// never share a terminal line.
class ConsoleReporter final : public BatchObserver {
public:
    // reportSkipped: say of each song without a record that it has none; for
    // songs the user named, not for the empty entries a whole index holds.
    ConsoleReporter(std::FILE* progressOut, bool reportSkipped)
        : progress_(progressOut), reportSkipped_(reportSkipped) {}

    void songFinished(std::int32_t, const SongResult& result) override {
        if (result.outcome == SongResult::Outcome::skipped && !reportSkipped_) return;
        if (result.messages.empty()) return;
        progress_.clear();
        for (const std::string& line : result.messages) printLine(line);
        std::fflush(stdout);
    }

    void progressed(const BatchProgress& progress) override { progress_.update(progress); }

    void finish() { progress_.clear(); }

private:
    ProgressLine progress_;
    bool reportSkipped_;
};

}  // namespace

int runConvertCommand(const ConvertRequest& request) {
    PreparedRun run;
    if (const std::optional<RunRefusal> refused = prepareRun(request, run)) {
        if (refused->usage) return usageError("convert", refused->line);
        printLine(refused->line);
        return kExitFailure;
    }
    if (!request.quiet) {
        for (const std::string& notice : run.notices) printLine(notice);
    }
    std::fflush(stdout);

    const bool showProgress = !request.quiet && isTerminal(stderr);
    // Songs named one by one are reported and counted when they have no
    // record; an index's entries without a record are no songs at all.
    const bool byNumber = !request.all && !request.range;
    ConsoleReporter reporter(showProgress ? stderr : nullptr, byNumber);
    BatchTotals totals = convertSongs(run.database, run.plan.selection(), request.outputFolder,
                                      run.options, std::max(1U, request.threads), reporter);
    reporter.finish();
    if (!byNumber) totals.skipped = 0;
    if (!request.quiet) printLine(summaryLine(totals));
    return totals.failed > 0 ? kExitFailure : kExitSuccess;
}

namespace {

// The most threads -j accepts: far more than any machine's cores, few enough
// that a mistyped number cannot ask for a thread and a song buffer per song.
constexpr unsigned kMaxThreads = 1024;

// The cores this process may run on: under Slurm, a container or taskset the
// affinity mask holds those the engine gave, fewer than the machine has.
unsigned defaultThreads() {
#ifdef __linux__
    cpu_set_t cores;
    CPU_ZERO(&cores);
    if (sched_getaffinity(0, sizeof cores, &cores) == 0 && CPU_COUNT(&cores) > 0) {
        return static_cast<unsigned>(CPU_COUNT(&cores));
    }
#endif
    return std::max(1U, std::thread::hardware_concurrency());
}

// The arguments as typed, until the parse is done.

struct ConvertArguments {
    ConvertRequest request;
    std::vector<std::string> songTexts;
    std::string rangeText;
    std::string databaseText;
    std::string outputText;
    std::string lyricsText;
    CLI::Option* lyrics = nullptr;
    std::vector<std::string> outputValues;      // one per row of the outputs table
    std::vector<CLI::Option*> outputOptions;    // null for a row without an option
    // One per setting of the table's rows, in their order.
    std::vector<GivenSetting> settingValues;
    std::vector<CLI::Option*> settingOptions;
    std::string shardText;
    std::string namePattern;
};

int runParsedConvert(ConvertArguments* a, CLI::App* convert) {
    const std::vector<OutputRow>& outputs = outputTable();
    if (a->songTexts.empty() && !a->request.all && a->rangeText.empty()) {
        return usageError(*convert, help::kNoSongsGiven);
    }
    for (const std::string& text : a->songTexts) {
        a->request.songs.push_back(songFromArgument(text));
    }
    if (!a->rangeText.empty()) a->request.range = parseSongRange(a->rangeText);
    a->request.databaseFolder = pathFromArgument(a->databaseText);
    a->request.outputFolder = pathFromArgument(a->outputText);
    // IsMember has turned any spelling into the one listed.
    if (a->lyricsText == "utf-8") a->lyricsText = "utf8";
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        if (a->outputOptions[i] == nullptr || a->outputOptions[i]->count() == 0) continue;
        a->request.options.outputs.add(outputs[i].id);
        if (outputs[i].takeValue == nullptr) continue;
        const std::string refused = outputs[i].takeValue(a->outputValues[i], a->request.options);
        if (!refused.empty()) return usageError(*convert, refused);
    }
    a->request.options.lyrics =
        lyricTextFor(a->lyrics->count() > 0 ? &a->lyricsText : nullptr, a->request.options);
    std::vector<GivenSetting> given;
    for (std::size_t i = 0; i < a->settingOptions.size(); ++i) {
        if (a->settingOptions[i]->count() > 0) given.push_back(a->settingValues[i]);
    }
    if (const std::string refused = takeSettings(a->request.options, given); !refused.empty()) {
        return usageError(*convert, refused);
    }
    if (const std::optional<std::uint32_t> count = parseAutoShard(a->shardText)) {
        const AutoShard shard = shardFromEnvironment(*count, [](const char* name) {
            const char* value = std::getenv(name);
            return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
        });
        if (shard.problem != AutoShard::Problem::none) {
            return usageError(*convert, autoShardRefused(shard));
        }
        a->request.shard = shard.shard;
        if (!a->request.quiet) printLine(autoShardNotice(shard));
    } else if (!a->shardText.empty()) {
        a->request.shard = parseShard(a->shardText);
    }
    a->request.namePattern = a->namePattern;
    return runConvertCommand(a->request);
}

// The settings of the table's rows, each an option of its own.
void addSettingOptions(CLI::App& convert, ConvertArguments& a) {
    for (const OutputRow& row : outputTable()) {
        for (const OutputSetting& setting : row.settings) {
            a.settingValues.push_back({&row, &setting, {}});
        }
    }
    // All made first: each option keeps a pointer to its text.
    for (GivenSetting& value : a.settingValues) {
        const OutputSetting& setting = *value.setting;
        const std::string name(setting.option);
        a.settingOptions.push_back(
            setting.valueName.empty()
                ? convert.add_flag(name, setting.help)
                : convert.add_option(name, value.text, setting.help)
                      ->type_name(std::string(setting.valueName)));
    }
}

}  // namespace

CommandRun addConvertCommand(CLI::App& app) {
    auto arguments = std::make_shared<ConvertArguments>();
    ConvertArguments* a = arguments.get();
    a->request.threads = defaultThreads();
    CLI::App* convert = &app;
    convert->add_option("SONG", a->songTexts, help::kConvertSongs)
        ->type_name("SONG")
        ->check(kSongNumber);
    CLI::Option* all =
        convert->add_flag("--all", a->request.all, help::kConvertAll);
    CLI::Option* range =
        convert->add_option("--range", a->rangeText, help::kConvertRange)
            ->type_name("FROM-TO")
            ->check(kSongRange);
    addDatabaseOption(*convert, a->databaseText);
    addOutputOption(*convert, a->outputText, help::kConvertOutput);
    convert->add_option("-j,--jobs", a->request.threads, help::kConvertJobs)
        ->type_name("N")
        ->check(CLI::Range(1U, kMaxThreads).description(""));
    convert->add_flag("-q,--quiet", a->request.quiet, help::kConvertQuiet);
    a->lyrics = convert->add_option("--lyrics", a->lyricsText, help::kConvertLyrics)
                   ->type_name("utf8|vni")
                   ->check(CLI::IsMember({"utf8", "utf-8", "vni"}, CLI::ignore_case)
                               .description(""));
    // One option per output of the table, in its order.
    const std::vector<OutputRow>& outputs = outputTable();
    a->outputValues.resize(outputs.size());
    a->outputOptions.assign(outputs.size(), nullptr);
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const OutputRow& row = outputs[i];
        if (row.option.empty()) continue;
        if (row.valueName.empty()) {
            a->outputOptions[i] = convert->add_flag(std::string(row.option), row.help);
        } else {
            a->outputOptions[i] =
                convert->add_option(std::string(row.option), a->outputValues[i], row.help)
                    ->type_name(std::string(row.valueName))
                    ->check(CLI::IsMember(row.choices, CLI::ignore_case).description(""));
        }
    }
    convert->add_option("--transpose", a->request.options.transpose, help::transpose(kMaxTranspose))
        ->type_name("N")
        ->check(CLI::Range(-kMaxTranspose, kMaxTranspose).description(""));
    convert
        ->add_option("--tempo", a->request.options.tempoPercent,
                     help::tempo(kMinTempoPercent, kMaxTempoPercent))
        ->type_name("PERCENT")
        ->check(CLI::Range(kMinTempoPercent, kMaxTempoPercent).description(""));
    addSettingOptions(*convert, *a);
    convert->add_flag("--resume", a->request.options.resume, help::kResume);
    convert->add_option("--shard", a->shardText, help::kShard)
        ->type_name("I/N|auto[/N]")
        ->check(kShard);
    convert->add_option("--name", a->namePattern, help::kName)
        ->type_name("PATTERN")
        ->check(kNamePattern);
    all->excludes(range);
    convert->get_option("SONG")->excludes(all)->excludes(range);

    return [arguments, convert] { return runParsedConvert(arguments.get(), convert); };
}

}  // namespace kdb2mid
