#!/usr/bin/python3
"""A party's load on `kdb2mid serve`, on loopback: PHONES simulated phones
(default 100), each holding /api/events open for SECONDS (default 60) while
it searches as a guest types and now and then queues or removes a song, and
the TV (this machine) moves the night on every half second.

    check-party-load.py BUILD_DIR DBDIR [PHONES] [SECONDS]

Checks: no request or stream fails; every phone's stream carries every
version of the night from the one it connected at to the last, in order;
search answers within 100 ms for 99 % of requests; the server's peak
resident memory (VmHWM) stays within 96 MB; with 200 streams open the next
one is refused with 429. Python's standard library only.
"""

import http.client
import json
import os
import random
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

SOUNDFONT = "/usr/share/sounds/sf2/TimGM6mb.sf2"
SEARCH_P99_MS = 100
MEMORY_LIMIT_KB = 96 * 1024
MAX_STREAMS = 200
# What guests type, a letter at a time, with and without marks.
TYPED = ["trong com", "TRỐNG CƠM", "beo dat may troi", "twinkle", "ode to joy", "frere",
         "50004", "chiec khan", "mua xuan"]


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


class Phone(threading.Thread):
    """One guest: its event stream on this thread, its requests on another."""

    def __init__(self, number, port, until, failures):
        super().__init__(daemon=True)
        self.number, self.port, self.until, self.failures = number, port, until, failures
        self.token = f"load-phone-{number:04d}-" + "x" * 16
        self.versions = []
        self.search_ms = []
        self.connected = threading.Event()
        self.stream = None

    def request(self, method, target, body=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=20,
                                                source_address=("127.0.0.2", 0))
        headers = {"X-Kdb2mid-Phone": self.token, "Content-Type": "application/json"}
        connection.request(method, target, body=None if body is None else json.dumps(body),
                           headers=headers)
        response = connection.getresponse()
        data = response.read()
        connection.close()
        return response.status, data

    def run(self):
        try:
            connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=40,
                                                    source_address=("127.0.0.2", 0))
            connection.request("GET", "/api/events", headers={"X-Kdb2mid-Phone": self.token})
            # Kept: http.client hands a closing connection's socket to the response.
            self.stream = connection.sock
            response = connection.getresponse()
            if response.status != 200:
                raise AssertionError(f"/api/events answered {response.status}")
            self.connected.set()
            worker = threading.Thread(target=self.guest, daemon=True)
            worker.start()
            while True:
                line = response.readline()
                if not line:
                    break
                if line.startswith(b"id: "):
                    self.versions.append(int(line[4:]))
            worker.join()
        except (OSError, AssertionError, http.client.HTTPException, ValueError) as failure:
            if time.monotonic() < self.until:
                self.failures.append(f"phone {self.number}: {failure!r}")
        finally:
            self.connected.set()

    def guest(self):
        rng = random.Random(self.number)
        mine = []
        while time.monotonic() < self.until:
            words = rng.choice(TYPED)
            for end in range(1, len(words) + 1):
                query = urllib.parse.urlencode({"q": words[:end], "limit": 30})
                began = time.monotonic()
                status, data = self.request("GET", f"/api/search?{query}")
                self.search_ms.append((time.monotonic() - began) * 1000)
                if status != 200 or "results" not in json.loads(data):
                    self.failures.append(f"phone {self.number}: search {status} {data[:80]!r}")
                time.sleep(rng.uniform(0.15, 0.4))  # a guest typing
                if time.monotonic() >= self.until:
                    break
            if rng.random() < 0.3 and not mine:
                status, data = self.request("POST", "/api/queue",
                                            {"song": 50004, "singer": f"Guest {self.number}"})
                if status != 201:
                    self.failures.append(f"phone {self.number}: queue {status} {data[:80]!r}")
                else:
                    mine.append(json.loads(data)["entry"]["id"])
            elif mine and rng.random() < 0.3:
                status, data = self.request("DELETE", f"/api/queue/{mine.pop()}")
                if status not in (200, 404):  # 404: the TV started it meanwhile
                    self.failures.append(f"phone {self.number}: remove {status} {data[:80]!r}")
        # The last versions reach the stream within 200 ms; then it is closed.
        time.sleep(1.0)
        try:
            self.stream.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass


def tv(port, until, failures):
    """This machine's screen: a song queued and the night moved on, in turn."""
    turn = 0
    while time.monotonic() < until:
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=20)
        if turn % 3 == 2:
            connection.request("POST", "/api/queue/next", body=b"{}")
        else:
            connection.request("POST", "/api/queue", body=json.dumps({"song": 50005 - turn % 2}))
        response = connection.getresponse()
        response.read()
        connection.close()
        if response.status not in (200, 201):
            failures.append(f"the TV: {response.status}")
        turn += 1
        time.sleep(0.5)


def peak_kb(pid):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return 0


def main(tool, db, phones, seconds):
    work = tempfile.mkdtemp()
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(work, "cache"),
               XDG_STATE_HOME=os.path.join(work, "state"))
    port = free_port()
    server = subprocess.Popen([tool, "serve", "-C", db, "--port", str(port),
                               "--soundfont", SOUNDFONT],
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE, env=env)
    began = time.monotonic()
    try:
        server.stdout.readline()
        failures = []
        until = time.monotonic() + seconds
        crowd = [Phone(i, port, until, failures) for i in range(phones)]
        for phone in crowd:
            phone.start()
        for phone in crowd:
            if not phone.connected.wait(30):
                raise AssertionError(f"phone {phone.number} could not open its stream")
        screen = threading.Thread(target=tv, args=(port, until, failures), daemon=True)
        screen.start()
        screen.join(seconds + 30)
        for phone in crowd:
            phone.join(seconds + 30)
            if phone.is_alive():
                raise AssertionError(f"phone {phone.number} did not finish")
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        connection.request("GET", "/api/queue")
        last = json.loads(connection.getresponse().read())["version"]
        connection.close()
        if failures:
            raise AssertionError(f"{len(failures)} failures, first: {failures[:3]}")
        for phone in crowd:
            seen = phone.versions
            if not seen or seen != list(range(seen[0], last + 1)):
                missing = sorted(set(range(seen[0] if seen else 0, last + 1)) - set(seen))
                raise AssertionError(f"phone {phone.number} saw versions {seen[:3]}..."
                                     f"{seen[-3:]} of ..{last}; missing {missing[:10]}")
        timings = sorted(ms for phone in crowd for ms in phone.search_ms)
        p99 = timings[int(len(timings) * 0.99)]
        if p99 > SEARCH_P99_MS:
            raise AssertionError(f"search p99 {p99:.1f} ms over {len(timings)} searches")

        # The streams' bound: with MAX_STREAMS open, one more is refused. The
        # phones' streams end at the server when it next writes to them: two
        # changes (the first write still reaches the closed socket's buffer).
        for body in (b'{"song":50004}', b"{}"):
            connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
            connection.request("POST", "/api/queue" if body != b"{}" else "/api/queue/next",
                               body=body)
            connection.getresponse().read()
            connection.close()
            time.sleep(0.3)
        extra = []
        for _ in range(MAX_STREAMS):
            stream = socket.create_connection(("127.0.0.1", port))
            stream.sendall(b"GET /api/events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
            extra.append(stream)
        for stream in extra:
            stream.recv(65536)  # its first event: the stream is counted
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
        connection.request("GET", "/api/events")
        refused = connection.getresponse()
        refused.read()
        connection.close()
        for stream in extra:
            stream.close()
        if refused.status != 429:
            raise AssertionError(f"stream {MAX_STREAMS + 1} answered {refused.status}, not 429")

        peak = peak_kb(server.pid)
        if peak > MEMORY_LIMIT_KB:
            raise AssertionError(f"the server's peak resident memory is {peak} kB")
        print(f"{phones} phones for {seconds} s: {len(timings)} searches, p50 "
              f"{timings[len(timings) // 2]:.1f} ms, p99 {p99:.1f} ms; versions "
              f"{min(p.versions[0] for p in crowd)}..{last} seen by every phone in order; "
              f"stream {MAX_STREAMS + 1} refused with 429; peak resident memory {peak} kB; "
              f"{time.monotonic() - began:.0f} s in all")
    finally:
        server.send_signal(signal.SIGTERM)
        try:
            server.wait(timeout=10)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    build, database = sys.argv[1], sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 100
    duration = float(sys.argv[4]) if len(sys.argv) > 4 else 60
    kdb2mid = os.path.join(build, "kdb2mid")
    if subprocess.run([kdb2mid, "serve", "--help"], capture_output=True).returncode != 0:
        print("this build has no serve (KDB2MID_SERVE is off): nothing to check")
        sys.exit(0)
    try:
        main(kdb2mid, database, count, duration)
    except AssertionError as failure:
        sys.exit(f"check-party-load.py: {failure}")
