#!/usr/bin/env bash
# Times search as a guest types on a phone: `kdb2mid serve` on a generated
# database answers /api/search for every prefix of a few names ("t", "tr",
# "tro", ...), with and without marks, and a song number. Server time is
# what a search adds over the cheapest request (/api/me) in the same run:
# both go through the same HTTP connection set-up on loopback.
#
#   bench/party.sh [SONGS] [ROUNDS]      (defaults: 30000 songs, 5 rounds)
#
# The database is bench/search.sh's (make_search_database), generated once
# into KDB2MID_BENCH_DIR (default $TMPDIR/kdb2mid-search). KDB2MID_BUILD names
# a build folder whose kdb2mid to time instead of building the bench preset.
set -euo pipefail
cd "$(dirname "$0")/.."

songs=${1:-30000}
rounds=${2:-5}
. bench/serve-database.sh

exec python3 - "$build/kdb2mid" "$db" "$songs" "$rounds" "$work/party" <<'PY'
import http.client, os, shutil, signal, socket, statistics, subprocess, sys, time, urllib.parse

tool, db, songs, rounds, work = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5]
shutil.rmtree(os.path.join(work, "state"), ignore_errors=True)
env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "cache"),
           XDG_STATE_HOME=os.path.join(work, "state"))
# Names make_search_database gives, typed as guests type them.
TYPED = ["trong com", "TRỐNG CƠM", "mua xuan que huong", "đêm nhớ", "buon vui xa", "21090"]

with socket.socket() as probe:
    probe.bind(("127.0.0.1", 0))
    port = probe.getsockname()[1]
server = subprocess.Popen([tool, "serve", "-C", db, "--port", str(port)],
                          stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, env=env)
server.stdout.readline()

def get(target):
    began = time.perf_counter()
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
    connection.request("GET", target)
    response = connection.getresponse()
    data = response.read()
    connection.close()
    assert response.status == 200, (target, response.status, data[:200])
    return time.perf_counter() - began, data

search, baseline, results = [], [], []
for _ in range(rounds):
    for words in TYPED:
        for end in range(1, len(words) + 1):
            if words[end - 1] == " ":
                continue
            took, data = get("/api/search?" + urllib.parse.urlencode({"q": words[:end]}))
            search.append(took)
            results.append(data.count(b'"song"'))
            baseline.append(get("/api/me")[0])
server.send_signal(signal.SIGTERM)
server.wait()

def at(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(len(ordered) * share))] * 1000

print(f"kdb2mid serve, search as you type, {songs} songs, {os.cpu_count()} cores, "
      f"{len(search)} searches ({statistics.mean(results):.0f} results on average)")
print(f"  /api/search round trip: median {at(search, 0.5):.2f} ms, 95th {at(search, 0.95):.2f} ms, "
      f"slowest {max(search) * 1000:.2f} ms")
print(f"  /api/me round trip:     median {at(baseline, 0.5):.2f} ms, 95th {at(baseline, 0.95):.2f} ms")
print(f"  server time of a search (median difference): "
      f"{at(search, 0.5) - at(baseline, 0.5):.2f} ms")
PY
