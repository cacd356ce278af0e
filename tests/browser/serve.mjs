// `kdb2mid serve` for the page tests: the sample database and Debian's
// small soundfont by name (default-GM.sf2 may point at a 140 MB one), on a
// loopback port, answering before the test goes on, and keeping its night
// (the queue, the songs sung) in a folder of the test's own, not in the
// user's: every test starts with an empty night.
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync } from 'node:fs';
import { connect, createServer } from 'node:net';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const START_MS = 10_000;

export const sleep = (ms) => new Promise((resolve) => { setTimeout(resolve, ms); });

export function freePort() {
  return new Promise((resolve, reject) => {
    const server = createServer();
    server.on('error', reject);
    server.listen(0, '127.0.0.1', () => {
      const { port } = server.address();
      server.close(() => resolve(port));
    });
  });
}

// Starts the server on `port` (a free one when not given) with the extra
// arguments; { base, child, stop }.
export async function startServer(buildDir, { port, args = [] } = {}) {
  const chosen = port ?? await freePort();
  const stateHome = mkdtempSync(path.join(tmpdir(), 'kdb2mid-state-'));
  const child = spawn(path.join(buildDir, 'kdb2mid'),
    ['serve', '-C', path.join(root, 'examples/sample-db'), '--port', String(chosen),
      '--soundfont', '/usr/share/sounds/sf2/TimGM6mb.sf2', ...args],
    { stdio: ['ignore', 'ignore', 'pipe'], env: { ...process.env, XDG_STATE_HOME: stateHome } });
  child.on('exit', () => rmSync(stateHome, { recursive: true, force: true }));
  let errors = '';
  child.stderr.on('data', (data) => { errors += data; });
  const base = `http://127.0.0.1:${chosen}`;
  const end = Date.now() + START_MS;
  for (;;) {
    if (child.exitCode !== null) throw new Error(`kdb2mid serve exited: ${errors}`);
    try {
      if ((await fetch(`${base}/api/queue`)).ok) break;
    } catch {
      // Not listening yet.
    }
    if (Date.now() > end) {
      child.kill('SIGKILL');
      throw new Error(`kdb2mid serve did not answer within ${START_MS / 1000} s`);
    }
    await sleep(50);
  }
  return { base, child, stop: () => child.kill('SIGTERM') };
}

// Phones are other machines: a browser on this one reaches the server from
// 127.0.0.1, which the server takes for its own screen (the host). Through
// this relay, whose connections come from 127.0.0.2, a page is a guest.
// Resolves to { base, close }; it keeps relaying to whatever server listens
// on `port`, also one started again.
export async function guestRelay(port) {
  const sockets = new Set();
  const relay = createServer((phone) => {
    const server = connect({ host: '127.0.0.1', port, localAddress: '127.0.0.2' });
    for (const socket of [phone, server]) {
      sockets.add(socket);
      socket.on('close', () => sockets.delete(socket));
      socket.on('error', () => { phone.destroy(); server.destroy(); });
    }
    phone.pipe(server).pipe(phone);
  });
  const relayPort = await new Promise((resolve, reject) => {
    relay.on('error', reject);
    relay.listen(0, '127.0.0.1', () => resolve(relay.address().port));
  });
  return {
    base: `http://127.0.0.1:${relayPort}`,
    close() {
      for (const socket of sockets) socket.destroy();
      relay.close();
    },
  };
}
