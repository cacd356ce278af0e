// Which share of a run's songs this machine takes (--shard), when the engine
// that started it says: a Slurm job array, a Kubernetes Indexed Job or GNU
// parallel, each through its own environment variables.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kdb2mid {

// This run converts every count-th song of the plan from the index-th on.
struct Shard {
    std::uint32_t index;  // 1..count
    std::uint32_t count;
};

// "auto" or "auto/N": the shard comes from the engine that started the run,
// with N shards when given. Nothing for any other text; a count of 0 for "auto".
std::optional<std::uint32_t> parseAutoShard(std::string_view text) noexcept;

// Who started the run, for --shard auto.
enum class ShardEngine { slurm, kubernetes, parallel };

// The shard an engine's variables name, or why they name none.
struct AutoShard {
    enum class Problem { none, noEngine, noCount, notANumber, outOfRange };
    Problem problem = Problem::none;
    Shard shard{1, 1};
    ShardEngine engine = ShardEngine::slurm;
    std::string variable;  // the variable the index was read from, or the one at fault
    std::string value;     // as it was set
};

// The variable's value, or nothing when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// The count shards come from: count when above 0 (--shard auto/N), else
// KDB2MID_SHARD_COUNT. The index from, in this order:
// - a Slurm job array: SLURM_ARRAY_TASK_ID. Without a count, the array is
//   the shards: the index is the task's place in it (SLURM_ARRAY_TASK_MIN,
//   _STEP, _COUNT), so --array=0-15 and --array=1-16 both make 16 shards.
//   With a count, the task id is the shard's number (from 1; from 0 when the
//   array starts at 0), so that `sbatch --array=5` redoes shard 5 alone.
// - a Kubernetes Indexed Job: JOB_COMPLETION_INDEX, from 0; needs the count.
// - GNU parallel: PARALLEL_SEQ, from 1; needs the count.
AutoShard shardFromEnvironment(std::uint32_t count, const EnvironmentLookup& lookup);

}  // namespace kdb2mid
