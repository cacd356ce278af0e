// --shard auto against the variables each engine sets, as each sets them.
#include "io/shard_environment.hpp"

#include <gtest/gtest.h>

#include <map>

namespace kdb2mid {
namespace {

using Problem = AutoShard::Problem;

TEST(ShardEnvironment, TakesTheShardFromEachEngine) {
    struct Case {
        const char* what;
        std::map<std::string, std::string> variables;
        std::uint32_t count;  // from --shard auto/N; 0 for --shard auto
        Problem problem;
        std::uint32_t index;
        std::uint32_t shards;
        ShardEngine engine;
    };
    const std::map<std::string, std::string> slurm0 = {{"SLURM_ARRAY_TASK_ID", "0"},
                                                       {"SLURM_ARRAY_TASK_MIN", "0"},
                                                       {"SLURM_ARRAY_TASK_MAX", "15"},
                                                       {"SLURM_ARRAY_TASK_COUNT", "16"},
                                                       {"SLURM_ARRAY_TASK_STEP", "1"}};
    auto with = [](std::map<std::string, std::string> base,
                   std::map<std::string, std::string> changes) {
        for (auto& [name, value] : changes) base[name] = value;
        return base;
    };
    const auto slurm1 = with(slurm0, {{"SLURM_ARRAY_TASK_ID", "16"},
                                      {"SLURM_ARRAY_TASK_MIN", "1"},
                                      {"SLURM_ARRAY_TASK_MAX", "16"}});
    // sbatch --array=5 job.sbatch: shard 5 again, alone in its array.
    const auto redo = with(slurm1, {{"SLURM_ARRAY_TASK_ID", "5"},
                                    {"SLURM_ARRAY_TASK_MIN", "5"},
                                    {"SLURM_ARRAY_TASK_MAX", "5"},
                                    {"SLURM_ARRAY_TASK_COUNT", "1"}});
    const auto stepped = with(slurm0, {{"SLURM_ARRAY_TASK_ID", "6"},
                                       {"SLURM_ARRAY_TASK_COUNT", "8"},
                                       {"SLURM_ARRAY_TASK_STEP", "2"}});
    const std::map<std::string, std::string> k8s = {{"JOB_COMPLETION_INDEX", "3"}};
    const std::map<std::string, std::string> parallel = {{"PARALLEL_SEQ", "2"},
                                                         {"PARALLEL_PID", "4242"}};
    const Case cases[] = {
        {"0-based array, first task", slurm0, 0, Problem::none, 1, 16, ShardEngine::slurm},
        {"1-based array, last task", slurm1, 0, Problem::none, 16, 16, ShardEngine::slurm},
        {"array with a step", stepped, 0, Problem::none, 4, 8, ShardEngine::slurm},
        {"between the steps", with(stepped, {{"SLURM_ARRAY_TASK_ID", "5"}}), 0,
         Problem::outOfRange, 0, 8, ShardEngine::slurm},
        {"one shard redone by its number", redo, 16, Problem::none, 5, 16, ShardEngine::slurm},
        {"redone, the count from the variable",
         with(redo, {{"KDB2MID_SHARD_COUNT", "16"}}), 0, Problem::none, 5, 16,
         ShardEngine::slurm},
        {"0-based array with the count given", slurm0, 16, Problem::none, 1, 16,
         ShardEngine::slurm},
        {"task beyond the count given", slurm1, 8, Problem::outOfRange, 0, 8, ShardEngine::slurm},
        {"Slurm array id not a number", with(slurm0, {{"SLURM_ARRAY_TASK_ID", ""}}), 0,
         Problem::notANumber, 0, 0, ShardEngine::slurm},
        {"Slurm job without an array", {{"SLURM_JOB_ID", "77"}, {"SLURM_CPUS_PER_TASK", ""}}, 4,
         Problem::noEngine, 0, 0, ShardEngine::slurm},
        {"Indexed Job, count given", k8s, 4, Problem::none, 4, 4, ShardEngine::kubernetes},
        {"Indexed Job, count from the variable", with(k8s, {{"KDB2MID_SHARD_COUNT", "10"}}), 0,
         Problem::none, 4, 10, ShardEngine::kubernetes},
        {"Indexed Job, no count", k8s, 0, Problem::noCount, 0, 0, ShardEngine::kubernetes},
        {"Indexed Job, index past the count", k8s, 3, Problem::outOfRange, 0, 3,
         ShardEngine::kubernetes},
        {"count variable not a number", with(k8s, {{"KDB2MID_SHARD_COUNT", "ten"}}), 0,
         Problem::notANumber, 0, 0, ShardEngine::kubernetes},
        {"GNU parallel", parallel, 4, Problem::none, 2, 4, ShardEngine::parallel},
        {"GNU parallel, no count", parallel, 0, Problem::noCount, 0, 0, ShardEngine::parallel},
        {"GNU parallel, sequence 0", with(parallel, {{"PARALLEL_SEQ", "0"}}), 4,
         Problem::outOfRange, 0, 4, ShardEngine::parallel},
        // A Slurm array task that runs GNU parallel inside: the array shares the songs.
        {"Slurm over parallel", with(slurm1, parallel), 0, Problem::none, 16, 16,
         ShardEngine::slurm},
        {"nothing set", {}, 0, Problem::noEngine, 0, 0, ShardEngine::slurm},
    };
    for (const Case& c : cases) {
        const AutoShard got = shardFromEnvironment(c.count, [&](const char* name) {
            const auto found = c.variables.find(name);
            return found != c.variables.end() ? std::optional<std::string>(found->second)
                                              : std::nullopt;
        });
        EXPECT_EQ(got.problem, c.problem) << c.what;
        if (c.problem == Problem::none) {
            EXPECT_EQ(got.shard.index, c.index) << c.what;
            EXPECT_EQ(got.shard.count, c.shards) << c.what;
        }
        if (c.problem != Problem::noEngine && c.problem != Problem::notANumber) {
            EXPECT_EQ(got.engine, c.engine) << c.what;
        }
    }
}

TEST(ShardEnvironment, ReadsAutoAndAutoSlashN) {
    const std::pair<const char*, std::optional<std::uint32_t>> texts[] = {
        {"auto", 0U},           {"auto/16", 16U},         {"auto/0", std::nullopt},
        {"auto/", std::nullopt}, {"auto/x", std::nullopt}, {"Auto", std::nullopt},
        {"auto16", std::nullopt}, {"3/16", std::nullopt},
    };
    for (const auto& [text, expected] : texts) EXPECT_EQ(parseAutoShard(text), expected) << text;
}

}  // namespace
}  // namespace kdb2mid
