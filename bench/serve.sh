#!/usr/bin/env bash
# Times `kdb2mid serve` on a generated database: how soon it answers after
# start (with the search cache in place, as on every start but the first,
# and without it), how long one song's karaoke data takes through HTTP, and
# the server's peak resident memory after sending songs and the soundfont.
#
#   bench/serve.sh [SONGS] [RUNS]      (defaults: 30000 songs, 5 runs)
#
# The database is bench/search.sh's (make_search_database), generated once
# into KDB2MID_BENCH_DIR (default $TMPDIR/kdb2mid-search). KDB2MID_BUILD names
# a build folder whose kdb2mid to time instead of building the bench preset.
set -euo pipefail
cd "$(dirname "$0")/.."

songs=${1:-30000}
runs=${2:-5}
. bench/serve-database.sh
cat "$db/SONG.DAT" >/dev/null

exec python3 - "$build/kdb2mid" "$db" "$songs" "$runs" "$work/serve-cache" <<'PY'
import http.client, os, random, shutil, signal, socket, statistics, subprocess, sys, time

tool, db, songs, runs, cache = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
env = dict(os.environ, XDG_CACHE_HOME=cache)

def port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]

def get(number, target):
    connection = http.client.HTTPConnection("127.0.0.1", number, timeout=30)
    connection.request("GET", target)
    response = connection.getresponse()
    data = response.read()
    connection.close()
    return response.status, data

def start():
    """The server, and the seconds from its start to its first answer."""
    number = port()
    began = time.monotonic()
    server = subprocess.Popen([tool, "serve", "-C", db, "--port", str(number)],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
    server.stdout.readline()
    status, _ = get(number, "/api/queue")
    assert status == 200, status
    return server, number, time.monotonic() - began

def stop(server):
    server.send_signal(signal.SIGTERM)
    server.wait()

cold, warm = [], []
for _ in range(runs):
    shutil.rmtree(cache, ignore_errors=True)
    server, _, seconds = start()
    cold.append(seconds)
    stop(server)
    server, _, seconds = start()
    warm.append(seconds)
    stop(server)

server, number, _ = start()
random.seed(1)
times = []
for song in random.sample(range(21090, 21090 + songs), 200):
    began = time.monotonic()
    status, data = get(number, f"/api/songs/{song}/karaoke")
    times.append(time.monotonic() - began)
    assert status == 200, (song, status, data[:200])
status, data = get(number, "/soundfont")
peak = next(int(line.split()[1]) for line in open(f"/proc/{server.pid}/status")
            if line.startswith("VmHWM:"))
stop(server)
times.sort()
print(f"kdb2mid serve, {songs} songs, {os.cpu_count()} cores, median of {runs} starts")
print(f"  ready, search cache in place:   {statistics.median(warm) * 1000:8.1f} ms")
print(f"  ready, no cache (builds it):    {statistics.median(cold) * 1000:8.1f} ms")
print(f"  karaoke data of one song, 200 songs: median {statistics.median(times) * 1000:.2f} ms, "
      f"95th {times[189] * 1000:.2f} ms, slowest {times[-1] * 1000:.2f} ms")
print(f"  peak resident memory (after songs and the {len(data) // 1024} KB soundfont): {peak // 1024} MB")
PY
