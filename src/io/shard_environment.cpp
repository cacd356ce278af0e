#include "io/shard_environment.hpp"

#include <algorithm>
#include <utility>

namespace kdb2mid {

namespace {

// Decimal digits only, below 2^31: task ids and counts, never anything larger.
std::optional<std::int64_t> parseNumber(std::string_view text) noexcept {
    constexpr std::int64_t kAbove = std::int64_t{1} << 31;
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value >= kAbove) return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<std::uint32_t> parseAutoShard(std::string_view text) noexcept {
    if (text == "auto") return 0;
    if (!text.starts_with("auto/")) return std::nullopt;
    const auto count = parseNumber(text.substr(5));
    if (!count || *count < 1) return std::nullopt;
    return static_cast<std::uint32_t>(*count);
}

namespace {

// A variable's whole value as a number from 0; nothing when unset, and the
// problem named in shard when it is set to anything else.
std::optional<std::int64_t> numberVariable(const EnvironmentLookup& lookup, const char* name,
                                           AutoShard& shard) {
    const std::optional<std::string> text = lookup(name);
    if (!text) return std::nullopt;
    const std::optional<std::int64_t> value = parseNumber(*text);
    if (!value && shard.problem == AutoShard::Problem::none) {
        shard.problem = AutoShard::Problem::notANumber;
        shard.variable = name;
        shard.value = *text;
    }
    return value;
}

// Takes index (from 1) of count into shard, or names the variable it came from.
void takeIndex(AutoShard& shard, std::int64_t index, std::int64_t count) {
    if (shard.problem != AutoShard::Problem::none) return;
    shard.shard.count = static_cast<std::uint32_t>(std::max<std::int64_t>(count, 0));
    if (count < 1) {
        shard.problem = AutoShard::Problem::noCount;
    } else if (index < 1 || index > count) {
        shard.problem = AutoShard::Problem::outOfRange;
    } else {
        shard.shard = Shard{static_cast<std::uint32_t>(index), static_cast<std::uint32_t>(count)};
    }
}

void slurmShard(AutoShard& shard, const EnvironmentLookup& lookup, std::int64_t id,
                std::int64_t count) {
    const std::int64_t first = numberVariable(lookup, "SLURM_ARRAY_TASK_MIN", shard).value_or(1);
    if (count > 0) {
        takeIndex(shard, first == 0 ? id + 1 : id, count);
        return;
    }
    const std::int64_t step =
        std::max<std::int64_t>(1, numberVariable(lookup, "SLURM_ARRAY_TASK_STEP", shard).value_or(1));
    const std::int64_t tasks = numberVariable(lookup, "SLURM_ARRAY_TASK_COUNT", shard).value_or(0);
    // A task between the steps of the array (--array=1,2,7) has no place in it.
    const bool onStep = id >= first && (id - first) % step == 0;
    takeIndex(shard, onStep ? (id - first) / step + 1 : 0, tasks);
}

}  // namespace

AutoShard shardFromEnvironment(std::uint32_t count, const EnvironmentLookup& lookup) {
    AutoShard shard;
    std::int64_t shards = count;
    if (shards == 0) shards = numberVariable(lookup, "KDB2MID_SHARD_COUNT", shard).value_or(0);
    const std::pair<const char*, ShardEngine> engines[] = {
        {"SLURM_ARRAY_TASK_ID", ShardEngine::slurm},
        {"JOB_COMPLETION_INDEX", ShardEngine::kubernetes},
        {"PARALLEL_SEQ", ShardEngine::parallel},
    };
    for (const auto& [name, engine] : engines) {
        const std::optional<std::string> text = lookup(name);
        if (!text) continue;
        const std::string variable = name;
        const std::optional<std::int64_t> id = numberVariable(lookup, name, shard);
        if (shard.problem == AutoShard::Problem::none) {
            shard.engine = engine;
            shard.variable = variable;
            shard.value = *text;
            switch (engine) {
                case ShardEngine::slurm: slurmShard(shard, lookup, *id, shards); break;
                case ShardEngine::kubernetes: takeIndex(shard, *id + 1, shards); break;
                case ShardEngine::parallel: takeIndex(shard, *id, shards); break;
            }
        }
        return shard;
    }
    if (shard.problem == AutoShard::Problem::none) shard.problem = AutoShard::Problem::noEngine;
    return shard;
}

}  // namespace kdb2mid
