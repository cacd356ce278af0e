#!/bin/sh
# A whole song database converted by GNU parallel over several machines, one
# shard each, kdb2mid on every machine's PATH:
#
#   examples/cluster/parallel.sh DBDIR OUTDIR [kdb2mid convert options...]
#   HOSTS=m1,m2,m3,m4 examples/cluster/parallel.sh /data/karaoke /data/out --audio ogg
#
# HOSTS are the machines, reached over ssh (default ":": this machine alone);
# SHARDS how many shares the songs are cut into (default 4, one per machine
# when there are four). DBDIR and OUTDIR must be on storage every machine
# sees, under the same path. The job log (JOBLOG, default kdb2mid-shards.log)
# records each shard's exit status: running the same line again, with
# --resume-failed, redoes only the shards that failed, and --resume in each
# skips the files that are complete already.
set -eu

[ $# -ge 2 ] || { echo "usage: $0 DBDIR OUTDIR [kdb2mid convert options...]" >&2; exit 2; }
db=$1
out=$2
shift 2
hosts=${HOSTS:-:}
shards=${SHARDS:-4}
joblog=${JOBLOG:-kdb2mid-shards.log}

# -q quotes the command for the shell on every machine; {} is the shard's number.
parallel -q --joblog "$joblog" --resume-failed -S "$hosts" \
    kdb2mid convert --all -C "$db" -o "$out" -q --resume --shard "{}/$shards" "$@" \
    ::: $(seq "$shards")
