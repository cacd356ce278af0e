#!/usr/bin/python3
"""Checks `kdb2mid serve` from outside, as a browser meets it, with readers
kdb2mid did not write: Python's http.client, json and base64, and mido.

    check_serve.py KDB2MID DBDIR SONG...

- It starts, prints "Open http://localhost:PORT on this machine's screen",
  and a second server on the same port fails with one line naming it; a
  --port outside 1-65535 is a usage error (2) and a missing database gets
  the lines `convert` prints.
- For each SONG, /api/songs/SONG/karaoke holds the .mid `kdb2mid convert`
  writes, byte for byte; its words spell the lyric letters mido reads from
  the UTF-8 .mid, each at its first letter's time (+-2 ms); its length is
  mido's; its melody channel is the one whose notes start where most words
  do.
- Paths that climb out (.., %2e%2e, NUL, absolute forms, overlong) sent as
  raw request lines get 4xx JSON, never a file; a body over 16 KB gets 413.
- /soundfont is the soundfont file, byte for byte; the server's resident
  memory stays under 64 MB.
- a request sent a while after its connection is answered.
- SIGTERM with a connection and an event stream open stops it within a
  second, exit status 143.
- The night survives SIGKILL: phones (from 127.0.0.2, so not this machine's
  screen) queue songs under names that look like markup, the TV starts one
  and changes its key; a second after the last answer the server is killed,
  and started again it gives the same queue, song playing, history and
  singers' keys, and a phone can still remove its own entry. The names come
  back verbatim as JSON strings.
"""

import base64
import http.client
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time
import urllib.parse

import mido

TOLERANCE = 0.002
SOUNDFONT = "/usr/share/sounds/sf2/TimGM6mb.sf2"
MEMORY_LIMIT_KB = 64 * 1024


def free_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def start(tool, db, port, env):
    server = subprocess.Popen(
        [tool, "serve", "-C", db, "--port", str(port), "--soundfont", SOUNDFONT],
        stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    started = time.monotonic()
    line = server.stdout.readline().strip()
    expected = f"Open http://localhost:{port} on this machine's screen"
    if line != expected:
        server.kill()
        raise AssertionError(f"serve printed {line!r}, not {expected!r}: {server.stderr.read()}")
    return server, time.monotonic() - started


def request(port, method, target, body=None, headers=None):
    connection = http.client.HTTPConnection("127.0.0.1", port, timeout=10)
    connection.request(method, target, body=body, headers=headers or {})
    response = connection.getresponse()
    data = response.read()
    connection.close()
    return response.status, response.getheader("Content-Type"), data


def raw_request(port, line):
    """Sends one request line as given, with nothing cleaned up on the way."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
        connection.sendall(line + b"\r\nHost: localhost\r\nConnection: close\r\n\r\n")
        answer = b""
        while chunk := connection.recv(65536):
            answer += chunk
    head, _, body = answer.partition(b"\r\n\r\n")
    return int(head.split(b" ")[1]), body


def midi_words(path):
    """(letters, seconds) of every word of the lyric events, and the note starts by channel."""
    midi = mido.MidiFile(path)
    words, starts = [], {}
    now, after_space = 0.0, True
    for message in midi:
        now += message.time
        if message.type == "note_on" and message.velocity > 0:
            starts.setdefault(message.channel, []).append(now)
        if message.type != "lyrics":
            continue
        for char in message.text.encode("latin-1").decode("utf-8"):
            if ord(char) <= 0x20 or ord(char) == 0x7F:
                after_space = True
                continue
            if after_space:
                words.append(["", now])
            words[-1][0] += char
            after_space = False
    return midi, words, starts


def check_song(tool, db, port, song, out):
    status, kind, data = request(port, "GET", f"/api/songs/{song}/karaoke")
    if status != 200 or kind != "application/json":
        raise AssertionError(f"song {song}: {status} {kind} {data[:200]!r}")
    karaoke = json.loads(data.decode("utf-8"))
    for folder, lyrics in (("stored", []), ("utf8", ["--lyrics", "utf8"])):
        subprocess.run([tool, "convert", str(song), "-C", db, "-o", os.path.join(out, folder),
                        "-q"] + lyrics, check=True)
    stored = open(os.path.join(out, "stored", f"{song}.mid"), "rb").read()
    if base64.b64decode(karaoke["midi"], validate=True) != stored:
        raise AssertionError(f"song {song}: the MIDI is not the .mid convert writes")

    midi, words, starts = midi_words(os.path.join(out, "utf8", f"{song}.mid"))
    served = [word for line in karaoke["lines"] for word in line["words"]]
    spelled, expected = "".join(w["text"] for w in served), "".join(w for w, _ in words)
    if spelled != expected:
        raise AssertionError(f"song {song}: words spell {spelled!r}, the .mid {expected!r}")
    times = {}
    at = 0
    for text, start in words:
        times[at] = start
        at += len(text)
    at = 0
    for word in served:
        if at in times and abs(word["time"] - times[at]) > TOLERANCE:
            raise AssertionError(f"song {song}: {word['text']!r} at {word['time']}, "
                                 f"mido {times[at]:.4f}")
        if at not in times:
            raise AssertionError(f"song {song}: {word['text']!r} starts inside a .mid word")
        at += len(word["text"])
    if abs(karaoke["seconds"] - midi.length) > 0.01:
        raise AssertionError(f"song {song}: {karaoke['seconds']} s, mido {midi.length:.3f} s")

    def covered(channel):
        return sum(any(abs(w["time"] - t) <= TOLERANCE for t in starts[channel]) for w in served)
    channels = sorted((c for c in starts if c != 9), key=lambda c: (-covered(c), c))
    if karaoke["melodyChannel"] is not None and channels[0] != karaoke["melodyChannel"]:
        raise AssertionError(f"song {song}: melody channel {karaoke['melodyChannel']}, "
                             f"but channel {channels[0]} starts notes at more words")
    print(f"song {song}: {len(served)} words at mido's times, MIDI as convert writes it, "
          f"melody channel {karaoke['melodyChannel']}")


def check_refusals(port):
    climbing = [b"GET /../../../../etc/passwd HTTP/1.1",
                b"GET /%2e%2e/%2e%2e/%2e%2e/etc/passwd HTTP/1.1",
                b"GET /..%2f..%2f..%2fetc%2fpasswd HTTP/1.1",
                b"GET /index.html%00.txt HTTP/1.1",
                b"GET /etc/passwd HTTP/1.1",
                b"GET //etc/passwd HTTP/1.1",
                b"GET http://localhost/../../etc/passwd HTTP/1.1",
                b"GET /" + b"a" * 9000 + b" HTTP/1.1"]
    for line in climbing:
        status, body = raw_request(port, line)
        if status not in (400, 404, 414) or b"root:" in body or "error" not in json.loads(body):
            raise AssertionError(f"{line[:60]!r}: {status} {body[:100]!r}")
    status, _, body = request(port, "POST", "/api/queue", body=b" " * (16 * 1024 + 1),
                              headers={"Content-Type": "application/json"})
    if status != 413 or "error" not in json.loads(body):
        raise AssertionError(f"a 16 KB + 1 body: {status} {body!r}")
    print(f"{len(climbing)} climbing paths refused, an oversized body refused with 413")


PHONE_ADDRESS = "127.0.0.2"
MARKUP_NAMES = ["<script>alert(1)</script>", '"onerror=alert(1) x="', "Ánh & <b>"]


def api(port, method, target, body=None, phone=None, source=None):
    """(status, parsed JSON, raw bytes) of one API request, as a phone when phone is given."""
    headers = {"Content-Type": "application/json"}
    if phone:
        headers["X-Kdb2mid-Phone"] = phone
    connection = http.client.HTTPConnection(
        "127.0.0.1", port, timeout=10,
        source_address=(source or (PHONE_ADDRESS if phone else "127.0.0.1"), 0))
    connection.request(method, target, body=None if body is None else json.dumps(body).encode(),
                       headers=headers)
    response = connection.getresponse()
    data = response.read()
    connection.close()
    return response.status, json.loads(data) if data else None, data


def night_seen(port):
    """The night as GET /api/queue gives it, and each singer's keys."""
    _, night, _ = api(port, "GET", "/api/queue")
    keys = {}
    for name in MARKUP_NAMES:
        query = urllib.parse.urlencode({"singer": name.upper(), "song": 50004})
        keys[name] = api(port, "GET", f"/api/keys?{query}")[1]
    return night, keys


def check_night_survives_kill(tool, db, env, out):
    state = os.path.join(out, "night", "night.json")
    port = free_port()
    server = subprocess.Popen(
        [tool, "serve", "-C", db, "--port", str(port), "--soundfont", SOUNDFONT,
         "--state", state], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True, env=env)
    try:
        server.stdout.readline()
        phones = ["phone-a-" + "a" * 20, "phone-b-" + "b" * 20]
        for i, name in enumerate(MARKUP_NAMES):
            status, answer, raw = api(port, "POST", "/api/queue",
                                      {"song": 50004, "singer": name, "key": i},
                                      phone=phones[i % 2])
            if status != 201 or answer["entry"]["singer"] != name or \
                    json.dumps(name, ensure_ascii=False).encode() not in raw:
                raise AssertionError(f"queueing as {name!r}: {status} {raw!r}")
        status, _, _ = api(port, "POST", "/api/queue/next", {}, phone=phones[0])
        if status != 403:
            raise AssertionError(f"a phone without the PIN skipped a song: {status}")
        for change in ({}, {"key": -4}):   # the TV: this machine, no PIN needed
            target = "/api/queue/next" if not change else "/api/controls"
            status, _, raw = api(port, "POST", target, change)
            if status != 200:
                raise AssertionError(f"the TV's {target}: {status} {raw!r}")
        before = night_seen(port)
        time.sleep(1.1)
        server.kill()
        server.wait()
        server = subprocess.Popen(
            [tool, "serve", "-C", db, "--port", str(port), "--soundfont", SOUNDFONT,
             "--state", state], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
            env=env)
        server.stdout.readline()
        after = night_seen(port)
        if after != before:
            raise AssertionError(f"after SIGKILL the night is {after}, not {before}")
        night, keys = after
        if [e["singer"] for e in night["entries"]] != MARKUP_NAMES[1:] or \
                night["playing"]["singer"] != MARKUP_NAMES[0] or \
                keys[MARKUP_NAMES[0]] != {"usual": -4, "song": -4}:
            raise AssertionError(f"the night before SIGKILL was not the one made: {before}")
        # The phone that queued the first waiting entry still owns it.
        own = night["entries"][0]["id"]
        status, _, raw = api(port, "DELETE", f"/api/queue/{own}", phone=phones[1])
        if status != 200:
            raise AssertionError(f"after the restart its phone could not remove entry {own}: "
                                 f"{status} {raw!r}")
        print(f"SIGKILL a second after the last change: queue of {len(night['entries'])}, "
              f"the song playing, history, keys and the phones' own entries back after a "
              f"restart; names that look like markup kept verbatim")
    finally:
        if server.poll() is None:
            server.kill()
            server.wait()


def resident_kb(pid):
    for line in open(f"/proc/{pid}/status"):
        if line.startswith("VmHWM:"):
            return int(line.split()[1])
    return 0


def check_refused_starts(tool, out):
    """A bad --port is a usage error; a missing database is refused with convert's lines."""
    for port in ("0", "65536", "80a", "-1"):
        run = subprocess.run([tool, "serve", "--port", port], capture_output=True, text=True)
        if run.returncode != 2 or run.stdout:
            raise AssertionError(f"--port {port}: exit {run.returncode} {run.stderr!r}")
    missing = os.path.join(out, "no-database")
    served = subprocess.run([tool, "serve", "-C", missing], capture_output=True, text=True)
    converted = subprocess.run([tool, "convert", "50001", "-C", missing, "-o", out],
                               capture_output=True, text=True)
    if (served.returncode, served.stdout, served.stderr) != \
            (converted.returncode, converted.stdout, converted.stderr) or served.returncode != 1:
        raise AssertionError(f"missing database: serve {served}, convert {converted}")
    print("bad ports refused as usage errors; a missing database refused as convert refuses it")


def main(tool, db, songs):
    out = tempfile.mkdtemp()
    check_refused_starts(tool, out)
    env = dict(os.environ, XDG_CACHE_HOME=os.path.join(out, "cache"),
               XDG_STATE_HOME=os.path.join(out, "state"))
    port = free_port()
    server, ready = start(tool, db, port, env)
    try:
        second = subprocess.run([tool, "serve", "-C", db, "--port", str(port)],
                                capture_output=True, text=True, timeout=10, env=env)
        if second.returncode != 1 or f"127.0.0.1:{port}" not in second.stderr \
                or second.stderr.count("\n") != 1:
            raise AssertionError(f"a second server on the port: {second.returncode} "
                                 f"{second.stdout!r} {second.stderr!r}")
        for song in songs:
            check_song(tool, db, port, song, out)
        check_refusals(port)
        status, kind, data = request(port, "GET", "/soundfont")
        if status != 200 or data != open(SOUNDFONT, "rb").read():
            raise AssertionError(f"/soundfont: {status} {kind}, {len(data)} bytes")
        peak = resident_kb(server.pid)
        if peak > MEMORY_LIMIT_KB:
            raise AssertionError(f"the server's peak resident memory is {peak} kB")
        print(f"ready in {ready:.2f} s; soundfont sent whole; peak resident memory {peak} kB")

        # A request whose bytes come a while after its connection (a busy
        # machine, a slow phone) is answered, not dropped.
        with socket.create_connection(("127.0.0.1", port), timeout=5) as late:
            time.sleep(0.3)
            late.sendall(b"GET /api/queue HTTP/1.1\r\nHost: localhost\r\n\r\n")
            answer = late.recv(4096)
        if not answer.startswith(b"HTTP/1.1 200") or b"Connection: close" not in answer:
            raise AssertionError(f"a request sent 0.3 s after connecting: {answer[:80]!r}")
        print("a request sent 0.3 s after connecting is answered, and its connection closed")

        idle = socket.create_connection(("127.0.0.1", port))
        idle.sendall(b"GET /api/queue HTTP/1.1\r\nHost: localhost\r\n\r\n")
        idle.recv(4096)
        stream = socket.create_connection(("127.0.0.1", port))
        stream.sendall(b"GET /api/events HTTP/1.1\r\nHost: localhost\r\n\r\n")
        stream.settimeout(5)
        received = b""
        while b"event: state" not in received and len(received) < 65536:
            chunk = stream.recv(65536)  # the head and the first event may come apart
            if not chunk:
                break
            received += chunk
        if b"event: state" not in received:
            raise AssertionError(f"/api/events did not send the night at once: {received[:200]!r}")
        stopping = time.monotonic()
        server.send_signal(signal.SIGTERM)
        code = server.wait(timeout=5)
        took = time.monotonic() - stopping
        idle.close()
        stream.close()
        if code != 128 + signal.SIGTERM or took > 1.0:
            raise AssertionError(f"SIGTERM: exit {code} after {took:.2f} s")
        print(f"SIGTERM with a connection and an event stream open: stopped in {took:.2f} s, "
              f"exit {code}")
        check_night_survives_kill(tool, db, env, out)
    finally:
        if server.poll() is None:
            server.kill()
            server.wait()
        subprocess.run(["rm", "-rf", out], check=False)


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    try:
        main(sys.argv[1], sys.argv[2], [int(song) for song in sys.argv[3:]])
    except AssertionError as failure:
        sys.exit(f"check_serve.py: {failure}")
