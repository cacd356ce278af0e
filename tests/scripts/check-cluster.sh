#!/bin/sh
# Runs the recipes of examples/cluster/ as written and checks that the shards
# together write exactly the files of one run (diff -r):
# - parallel.sh (GNU parallel, four shards on this machine) on the sample
#   database and on a generated database of 1,000 songs;
# - job.sbatch, each task of its array run as Slurm runs it (its variables
#   set as Slurm sets them), then one shard redone alone as its comment says;
# - indexed-job.yaml, its container's command run once per completion index
#   with the pod's variables, the database and output paths made local.
#
#   tests/scripts/check-cluster.sh BUILD_DIR [MAKE_LARGE_DATABASE]
#
# MAKE_LARGE_DATABASE is bench's generator (make_large_database in a build with the benchmarks);
# without it the 1,000-song database is left out.
set -eu

build=$(cd "$1" && pwd)
generator=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
cluster=$here/../../examples/cluster
sample=$here/../../examples/sample-db
PATH=$build:$PATH
export PATH
command -v parallel >/dev/null || { echo "GNU parallel missing (apt-get install parallel)"; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

same() {
    diff -r "$1" "$2" >"$work/diff" || { echo "$3: not the files of one run:"; head "$work/diff"; exit 1; }
    echo "$3: $(find "$1" -type f | wc -l) files, the same as one run"
}

# GNU parallel, four shards, then the same line again: the job log says
# every shard succeeded, so nothing runs twice.
check_parallel() {
    db=$1
    name=$2
    kdb2mid convert --all -C "$db" -o "$work/$name-whole" -q --kar --lrc
    JOBLOG=$work/$name.log "$cluster/parallel.sh" "$db" "$work/$name-shards" --kar --lrc
    JOBLOG=$work/$name.log "$cluster/parallel.sh" "$db" "$work/$name-shards" --kar --lrc
    [ "$(grep -c 'kdb2mid convert' "$work/$name.log")" -eq 4 ] || {
        echo "$name: the job log holds other than four shards"; cat "$work/$name.log"; exit 1; }
    same "$work/$name-whole" "$work/$name-shards" "GNU parallel, $name"
}
check_parallel "$sample" sample

# Slurm: --array=1-16 as job.sbatch asks, every task with its variables.
env -i PATH="$PATH" kdb2mid convert --all -C "$sample" -o "$work/slurm-whole" -q --audio wav \
    --soundfont /usr/share/sounds/sf2/TimGM6mb.sf2 --lrc
first=$(sed -n 's/^#SBATCH --array=\([0-9]*\)-[0-9]*$/\1/p' "$cluster/job.sbatch")
last=$(sed -n 's/^#SBATCH --array=[0-9]*-\([0-9]*\)$/\1/p' "$cluster/job.sbatch")
count=$((last - first + 1))
slurm_task() {  # TASK MIN COUNT [extra variable]
    env -i PATH="$PATH" HOME="$work" SLURM_JOB_ID=7 SLURM_ARRAY_JOB_ID=7 \
        SLURM_ARRAY_TASK_ID="$1" SLURM_ARRAY_TASK_MIN="$2" SLURM_ARRAY_TASK_COUNT="$3" \
        SLURM_ARRAY_TASK_STEP=1 SLURM_CPUS_ON_NODE=2 DB="$sample" OUT="$work/slurm" \
        OUTPUTS="--audio wav --soundfont /usr/share/sounds/sf2/TimGM6mb.sf2 --lrc" ${4:+"$4"} \
        "$cluster/job.sbatch" >>"$work/slurm.log"
}
task=$first
while [ "$task" -le "$last" ]; do
    slurm_task "$task" "$first" "$count"
    task=$((task + 1))
done
same "$work/slurm-whole" "$work/slurm" "Slurm job array, $count tasks"
# The third song's files lost: `sbatch --array=3 --export=ALL,KDB2MID_SHARD_COUNT=16`.
third=$(kdb2mid list -C "$sample" | sed -n 3p | cut -f1)
rm "$work/slurm/$third".*
slurm_task 3 3 1 KDB2MID_SHARD_COUNT="$count"
same "$work/slurm-whole" "$work/slurm" "Slurm, shard 3 of $count redone alone"

# Kubernetes: the manifest's command once per completion index, as the
# container runs it (its words one a line, handed to env: no shell between),
# and once whole.
python3 - "$cluster/indexed-job.yaml" "$sample" "$work" <<'PY'
import sys, yaml
manifest, sample, work = sys.argv[1:]
job = yaml.safe_load(open(manifest))
spec = job["spec"]
assert spec["completionMode"] == "Indexed", "not an Indexed Job"
container = spec["template"]["spec"]["containers"][0]
env = {e["name"]: e["value"] for e in container.get("env", [])}
assert int(env["KDB2MID_SHARD_COUNT"]) == spec["completions"], "KDB2MID_SHARD_COUNT is not completions"
command = container["command"]
assert command[-2:] == ["--shard", "auto"], "the command does not end in --shard auto"
def local(words, out):
    return "\n".join(sample if w == "/data/karaoke" else out if w == "/data/out" else w
                     for w in words) + "\n"
open(work + "/pod-command", "w").write(local(command, work + "/k8s"))
open(work + "/whole-command", "w").write(local(command[:-2], work + "/k8s-whole"))
open(work + "/completions", "w").write("%d\n" % spec["completions"])
PY
completions=$(cat "$work/completions")
env -i PATH="$PATH" HOME="$work" xargs -d '\n' -a "$work/whole-command" env >"$work/k8s.log"
index=0
while [ "$index" -lt "$completions" ]; do
    env -i PATH="$PATH" HOME="$work" JOB_COMPLETION_INDEX="$index" \
        KDB2MID_SHARD_COUNT="$completions" xargs -d '\n' -a "$work/pod-command" env >>"$work/k8s.log"
    index=$((index + 1))
done
same "$work/k8s-whole" "$work/k8s" "Kubernetes Indexed Job, $completions pods"

if [ -n "$generator" ]; then
    "$generator" "$work/large-db" 1000
    check_parallel "$work/large-db" "1,000 songs"
fi
