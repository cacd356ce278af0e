// The TV page of `kdb2mid serve`, played in Chromium: what it sounds like is
// captured where the page's audio graph meets the loudspeakers and measured
// here, against the song's MIDI as mido reads it and its word times as the
// server sends them.
//
// One song (50004: melody on its own channel, bass, drums) is queued twice:
// first at key 0, tempo 100 %, guide normal; then paused, set to key +2,
// tempo 80 %, guide strong, restarted, and its guide turned off after the
// sustained note the pitch is measured on.
import { spawnSync } from 'node:child_process';
import path from 'node:path';
import { sleep, startServer } from './serve.mjs';

const SONG = 50004;
// A word may turn sung this far either side of its time.
const SUNG_TOLERANCE = 0.05;
const SLOW_TEMPO = 0.8;

async function until(what, check, timeoutMs) {
  const end = Date.now() + timeoutMs;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error(`timed out waiting for ${what}`);
    await sleep(50);
  }
}

// The melody channel's notes, in seconds at 100 % tempo, as mido reads the
// MIDI file the server sends.
function melodyNotes(midiBase64, channel) {
  const script = `
import io, json, sys, mido
song = mido.MidiFile(file=io.BytesIO(sys.stdin.buffer.read()))
now, started, notes = 0.0, {}, []
for message in song:
    now += message.time
    if message.type not in ('note_on', 'note_off') or message.channel != ${channel}:
        continue
    if message.type == 'note_on' and message.velocity > 0:
        started[message.note] = now
    elif message.note in started:
        notes.append({'note': message.note, 'start': started.pop(message.note), 'end': now})
print(json.dumps(notes))`;
  const result = spawnSync('/usr/bin/python3', ['-c', script], { input: Buffer.from(midiBase64, 'base64') });
  if (result.status !== 0) throw new Error(`mido could not read the song: ${result.stderr}`);
  return JSON.parse(result.stdout);
}

// Runs in the page before its scripts: every connection to the loudspeakers
// also feeds a recorder, as one mix and as the one output (`solo`) that
// carries the melody channel's dry sound. The synthesiser gives each MIDI
// channel an output of its own (channel C on output C + 1, effects on 0).
// Chunks carry the AudioContext time of their first sample. Words turning
// sung are logged with the AudioContext time being heard when they turned
// (the browser's output timestamp): the sample of that time is the one
// leaving the loudspeakers then.
function capture(solo) {
  const connect = AudioNode.prototype.connect;
  const recorder = `
    class Tap extends AudioWorkletProcessor {
      constructor() { super(); this.fresh(); }
      fresh() { this.parts = [new Float32Array(4096), new Float32Array(4096)]; this.filled = 0; }
      process(inputs) {
        if (this.filled === 0) this.start = currentTime;
        for (let k = 0; k < 2; k += 1) {
          const channels = inputs[k];
          for (let i = 0; i < 128; i += 1) {
            let sum = 0;
            for (const samples of channels) sum += samples[i];
            this.parts[k][this.filled + i] = channels.length > 0 ? sum / channels.length : 0;
          }
        }
        this.filled += 128;
        if (this.filled === 4096) {
          this.port.postMessage({ start: this.start, mix: this.parts[0], solo: this.parts[1] });
          this.fresh();
        }
        return true;
      }
    }
    registerProcessor('test-tap', Tap);`;
  const state = { context: null, chunks: [], sung: [] };
  window.testCapture = state;
  AudioNode.prototype.connect = function connectAndTap(target, output = 0, input = 0) {
    const result = connect.call(this, target, output, input);
    if (!(target instanceof AudioDestinationNode)) return result;
    const { context } = this;
    if (!state.context) {
      state.context = context;
      state.mix = context.createGain();
      state.solo = context.createGain();
      const url = URL.createObjectURL(new Blob([recorder], { type: 'text/javascript' }));
      context.audioWorklet.addModule(url).then(() => {
        const tap = new AudioWorkletNode(context, 'test-tap', { numberOfInputs: 2, numberOfOutputs: 0 });
        tap.port.onmessage = (event) => state.chunks.push(event.data);
        connect.call(state.mix, tap, 0, 0);
        connect.call(state.solo, tap, 0, 1);
      });
    }
    connect.call(this, state.mix, output);
    if (output === solo) connect.call(this, state.solo, output);
    return result;
  };

  // The samples of one stream from time `from` to `to`.
  state.segment = (stream, from, to) => {
    const rate = state.context.sampleRate;
    const out = [];
    for (const chunk of state.chunks) {
      const samples = chunk[stream];
      const first = Math.max(0, Math.ceil((from - chunk.start) * rate));
      const last = Math.min(samples.length, Math.ceil((to - chunk.start) * rate));
      for (let i = first; i < last; i += 1) out.push(samples[i]);
    }
    return out;
  };
  state.rms = (stream, from, to) => {
    const samples = state.segment(stream, from, to);
    return Math.sqrt(samples.reduce((sum, x) => sum + x * x, 0) / Math.max(samples.length, 1));
  };
  // When a stream goes quieter than `level` for good (for `span` seconds)
  // after time `from`.
  state.silentFrom = (stream, from, level, span) => {
    const rate = state.context.sampleRate;
    let quietSince = null;
    for (const chunk of state.chunks) {
      const samples = chunk[stream];
      for (let i = 0; i < samples.length; i += 1) {
        const time = chunk.start + i / rate;
        if (time < from) continue;
        if (Math.abs(samples[i]) >= level) quietSince = null;
        else if (quietSince === null) quietSince = time;
        else if (time - quietSince >= span) return quietSince;
      }
    }
    return null;
  };
  // When a stream first goes louder than `level` after time `from`.
  state.firstSound = (stream, from, level) => {
    const rate = state.context.sampleRate;
    for (const chunk of state.chunks) {
      const samples = chunk[stream];
      for (let i = 0; i < samples.length; i += 1) {
        const time = chunk.start + i / rate;
        if (time >= from && Math.abs(samples[i]) > level) return time;
      }
    }
    return null;
  };
  state.words = () => [...document.querySelectorAll('#lyrics .word')];
  state.heard = () => {
    const { contextTime, performanceTime } = state.context.getOutputTimestamp();
    return contextTime + (performance.now() - performanceTime) / 1000;
  };
  new MutationObserver((records) => {
    if (!state.context) return;
    const time = state.heard();
    const words = state.words();
    for (const record of records) {
      if (record.target.hasAttribute('data-sung')) state.sung.push({ word: words.indexOf(record.target), time });
    }
  }).observe(document, { subtree: true, attributes: true, attributeFilter: ['data-sung'] });
}

// The Hann-windowed stretch's magnitude at frequencies two cents apart from
// 80 Hz to 2.5 kHz: a Fourier sum at each, its phasor turned by rotation.
const CENTS_STEP = 2;
function logSpectrum(samples, sampleRate) {
  const n = samples.length;
  const windowed = samples.map((x, i) => x * (0.5 - 0.5 * Math.cos((2 * Math.PI * i) / (n - 1))));
  const steps = Math.floor((1200 * Math.log2(2500 / 80)) / CENTS_STEP);
  const out = new Float64Array(steps);
  for (let step = 0; step < steps; step += 1) {
    const angle = (2 * Math.PI * 80 * 2 ** ((step * CENTS_STEP) / 1200)) / sampleRate;
    const [cos, sin] = [Math.cos(angle), Math.sin(angle)];
    let [pr, pi, re, im] = [1, 0, 0, 0];
    for (const x of windowed) {
      re += x * pr;
      im += x * pi;
      [pr, pi] = [pr * cos - pi * sin, pr * sin + pi * cos];
    }
    out[step] = Math.hypot(re, im);
  }
  return out;
}

// How many semitones `after` sounds above `before`: the shift within four
// semitones that best lines up their spectra on the log-frequency axis.
function semitoneShift(before, after, sampleRate) {
  const a = logSpectrum(before, sampleRate);
  const b = logSpectrum(after, sampleRate);
  const reach = 400 / CENTS_STEP;
  let best = 0;
  let bestScore = -Infinity;
  for (let shift = -reach; shift <= reach; shift += 1) {
    let score = 0;
    for (let s = Math.max(0, -shift); s < a.length && s + shift < b.length; s += 1) score += a[s] * b[s + shift];
    if (score > bestScore) [best, bestScore] = [shift, score];
  }
  return (best * CENTS_STEP) / 100;
}

function check(condition, message) {
  if (!condition) throw new Error(message);
}

// The words the page marks sung at a snapshot against the words whose time
// has come by the sound's clock: song time = (audio time − song start) × rate.
function checkSnapshot(snapshot, wordTimes, songStart, rate, label) {
  const songTime = (snapshot.time - songStart) * rate;
  wordTimes.forEach((time, index) => {
    if (time <= songTime - SUNG_TOLERANCE) {
      check(snapshot.sung[index], `${label}: word ${index} (${time} s) not sung at ${songTime.toFixed(3)} s`);
    } else if (time > songTime + SUNG_TOLERANCE) {
      check(!snapshot.sung[index], `${label}: word ${index} (${time} s) sung early at ${songTime.toFixed(3)} s`);
    }
  });
}

async function playsLiveControls({ browser, buildDir, artifacts }) {
  const server = await startServer(buildDir);
  const page = await browser.newPage();
  try {
    const karaoke = await (await fetch(`${server.base}/api/songs/${SONG}/karaoke`)).json();
    const wordTimes = karaoke.lines.flatMap((line) => line.words.map((word) => word.time));
    check(Number.isInteger(karaoke.melodyChannel), 'the song names no melody channel');
    const notes = melodyNotes(karaoke.midi, karaoke.melodyChannel);
    // The sustained note: the longest in the first third of the song.
    const held = notes.filter((note) => note.start < karaoke.seconds / 3)
      .reduce((best, note) => (note.end - note.start > best.end - best.start ? note : best));
    check(held.end - held.start >= 0.4, `no melody note held 0.4 s (${JSON.stringify(held)})`);

    await page.setViewport({ width: 1280, height: 720 });
    await page.evaluateOnNewDocument(capture, (karaoke.melodyChannel % 16) + 1);
    const opened = Date.now();
    await page.goto(`${server.base}/`);
    const audio = (expression, ...args) => page.evaluate(expression, ...args);
    await page.waitForFunction(() => document.getElementById('notice').textContent.startsWith('Type'),
      { timeout: 20_000 });
    const readyAfter = (Date.now() - opened) / 1000;
    const now = () => audio(() => window.testCapture.context.currentTime);
    // Read in the frame the page has just drawn (its callback runs first), so
    // a frame the busy machine delays does not count against the page.
    const snapshot = () => audio(() => new Promise((resolve) => {
      requestAnimationFrame(() => resolve({
        time: window.testCapture.heard(),
        sung: window.testCapture.words().map((word) => word.hasAttribute('data-sung')),
      }));
    }));
    const queue = async (entry = { song: SONG }) => {
      const response = await fetch(`${server.base}/api/queue`, {
        method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify(entry),
      });
      check(response.status === 201, `queueing answered ${response.status}`);
      return (await response.json()).entry;
    };
    const songShown = () => page.waitForFunction(() => document.querySelector('#lyrics .word'), { timeout: 10_000 });
    const songGone = () => page.waitForFunction(() => !document.querySelector('#lyrics .word'), { timeout: 40_000 });
    const statusText = () => audio(() => ['key-text', 'tempo-text', 'guide-text']
      .map((id) => document.getElementById(id).textContent));

    // The song starts with the first sound after `from` (the bass on its
    // first tick); `at` waits for a song time at a tempo.
    const soundFrom = (from) => until('the first sound', () => audio(
      (after) => window.testCapture.firstSound('mix', after, 0.002), from,
    ), 10_000);
    const at = (songStart, tempo, songTime) => until(`song time ${songTime}`,
      async () => (await now()) >= songStart + songTime / tempo, 40_000);

    // First time through: key 0, tempo 100 %, guide normal.
    const queued = await now();
    await queue();
    await songShown();
    const start = await soundFrom(queued);
    const snapshots = [];
    for (const songTime of [4.0, 7.3, 9.62, 12.45, 15.9, 17.1, 20.2]) {
      await at(start, 1, songTime);
      snapshots.push(await snapshot());
      // Between two lines' words, so the capture's pause delays no word.
      if (songTime === 7.3) await page.screenshot({ path: path.join(artifacts, 'serve-tv-mid-song.png') });
    }
    const lineOnScreen = await audio(() => [...document.querySelectorAll('#lyrics .line')]
      .some((line) => !line.hidden && line.getBoundingClientRect().height > 0));
    check(lineOnScreen, 'no lyric line on screen mid-song');
    await songGone();
    const firstSung = await audio(() => window.testCapture.sung.splice(0));
    const level = (stream, from, to) => audio((...args) => window.testCapture.rms(...args), stream, from, to);
    const loudness = await level('mix', start, start + karaoke.seconds);
    check(loudness > 0.003, `the song is near silent (RMS ${loudness})`);
    snapshots.forEach((shot, i) => checkSnapshot(shot, wordTimes, start, 1, `100 % snapshot ${i}`));

    // Second time: paused at once, set, then restarted from the top.
    await queue();
    await songShown();
    await page.keyboard.press('Space');
    for (const key of ['ArrowRight', 'ArrowRight', 'ArrowDown', 'ArrowDown', 'ArrowDown', 'ArrowDown', 'g']) {
      await page.keyboard.press(key);
    }
    const shown = await statusText();
    check(JSON.stringify(shown) === JSON.stringify(['Key +2', 'Tempo 80 %', 'Guide strong']),
      `status reads ${shown.join(', ')}`);
    await sleep(1500);
    const restarted = await now();
    await page.keyboard.press('r');
    const slowStart = await soundFrom(restarted);
    const slowSnapshots = [];
    // Guide off in the middle of a melody note: how soon that note stops is
    // how soon a live change is heard.
    const cut = notes.find((note) => note.start > held.end + 0.2 && note.end - note.start >= 0.4);
    check(cut, 'no melody note to turn the guide off in');
    await at(slowStart, SLOW_TEMPO, cut.start + 0.1);
    const guideOff = await now();
    await page.keyboard.press('g');
    check((await statusText())[2] === 'Guide off', 'g did not turn the guide off');
    for (const songTime of [6.45, 9.0, 13.1, 16.23, 19.65, 22.0]) {
      await at(slowStart, SLOW_TEMPO, songTime);
      slowSnapshots.push(await snapshot());
    }
    // A guest's name that looks like markup, announced between the songs.
    const guest = await queue({ song: SONG, singer: '<b>Lan</b> & <img src=x>' });
    await songGone();
    const slowSung = await audio(() => window.testCapture.sung.splice(0));
    const announced = await page.waitForFunction(() => {
      const element = document.getElementById('up-next');
      return !element.hidden && element.textContent !== '' && element;
    }, { timeout: 5_000 });
    const [upNext, markup] = await announced.evaluate((element) => [element.textContent, element.children.length]);
    check(upNext === `Up next: ${guest.singer} \u2014 ${guest.title}` && markup === 0,
      `between songs the page shows "${upNext}" with ${markup} elements in it`);
    // A song number typed on the TV joins the queue.
    await page.keyboard.type('50003');
    await page.keyboard.press('Enter');
    await until('the typed song in the queue', async () => (await (await fetch(`${server.base}/api/queue`)).json())
      .entries.some((entry) => entry.song === 50003), 5_000);
    slowSnapshots.forEach((shot, i) => checkSnapshot(shot, wordTimes, slowStart, SLOW_TEMPO, `80 % snapshot ${i}`));

    // Key +2: the held note, measured on the melody's own output.
    const rate = await audio(() => window.testCapture.context.sampleRate);
    const heldStretch = async (songStart, tempo) => {
      const from = songStart + (held.start + 0.06) / tempo;
      return audio((a, b) => window.testCapture.segment('solo', a, b), from, from + 16384 / rate);
    };
    const shift = semitoneShift(await heldStretch(start, 1), await heldStretch(slowStart, SLOW_TEMPO), rate);
    check(Math.abs(shift - 2) <= 0.1, `key +2 moved the held note ${shift} semitones`);

    // Tempo 80 %: every word and the melody's first note 1.25 times later.
    const firstSungAt = (log) => new Map(log.filter((e) => e.word >= 0).reverse().map((e) => [e.word, e.time]));
    const normal = firstSungAt(firstSung);
    const slow = firstSungAt(slowSung);
    // Each word's turn is logged when its frame was drawn; a frame the busy
    // machine held back makes one late, so the ratio is the median word's.
    wordTimes.forEach((_, index) => check(normal.has(index) && slow.has(index), `word ${index} never turned sung`));
    const ratios = wordTimes.map((time, index) => (slow.get(index) - slowStart) / (normal.get(index) - start))
      .filter((_, index) => wordTimes[index] >= 2).sort((a, b) => a - b);
    const ratio = ratios[ratios.length >> 1];
    check(Math.abs(ratio - 1 / SLOW_TEMPO) <= 0.01, `the words came ${ratio.toFixed(3)}× later at 80 %`);
    const melodyAt = async (songStart) => (await audio((from) => window.testCapture.firstSound('solo', from, 0.002),
      songStart)) - songStart;
    const melodyRatio = (await melodyAt(slowStart)) / (await melodyAt(start));
    check(Math.abs(melodyRatio - 1 / SLOW_TEMPO) <= 0.02, `the melody came in ${melodyRatio.toFixed(3)}× later at 80 %`);

    // Guide off: from a moment after the press, the melody's output is silent
    // where the first time through it sounded.
    const offFrom = (guideOff - slowStart) * SLOW_TEMPO + 0.3;
    const offTo = karaoke.seconds - 1;
    const melodyLevel = (songStart, tempo) => level('solo', songStart + offFrom / tempo, songStart + offTo / tempo);
    const withGuide = await melodyLevel(start, 1);
    const withoutGuide = await melodyLevel(slowStart, SLOW_TEMPO);
    check(withGuide > 0.003, `the melody was near silent with the guide on (RMS ${withGuide})`);
    check(withoutGuide < withGuide / 100, `guide off left the melody at ${(withoutGuide / withGuide).toFixed(4)} of its level`);
    const before = await level('solo', guideOff - 0.05, guideOff);
    check(before > 0.003, `the melody was not sounding when g was pressed (RMS ${before})`);
    // Heard: once made, and then the output's own latency later.
    const silent = await audio((from) => window.testCapture.silentFrom('solo', from, 0.0005, 0.1), guideOff);
    const outputLatency = await audio(() => window.testCapture.context.baseLatency
      + window.testCapture.context.outputLatency);
    const heardAfter = silent === null ? Infinity : silent - guideOff + outputLatency;
    check(heardAfter <= 0.1, `guide off was heard ${(heardAfter * 1000).toFixed(0)} ms after the key press`);
    const accompaniment = await level('mix', slowStart + offFrom / SLOW_TEMPO, slowStart + offTo / SLOW_TEMPO);
    check(accompaniment > 0.003, 'guide off silenced the accompaniment too');
    const worst = (log, songStart, tempo) => Math.max(...wordTimes.map((time, index) => Math.abs(
      (log.get(index) - songStart) * tempo - time)));
    console.log(`     page ready ${readyAfter.toFixed(1)} s after opening; first note ${(start - queued).toFixed(2)} s `
      + 'after queueing');
    console.log(`     held note +${shift} semitones; melody ${melodyRatio.toFixed(3)}× later at 80 %; guide off `
      + `heard after ${(heardAfter * 1000).toFixed(0)} ms (output latency included), ${(20 * Math.log10(withoutGuide / withGuide || 1e-9)).toFixed(0)} dB; `
      + `words ${ratio.toFixed(3)}× later at 80 %, turned sung within ${(worst(normal, start, 1) * 1000).toFixed(0)} ms (100 %), `
      + `${(worst(slow, slowStart, SLOW_TEMPO) * 1000).toFixed(0)} ms (80 %) of their sound`);
  } finally {
    await page.close();
    server.stop();
  }
}

export const tests = [
  { name: 'TV page plays a queued song with live key, tempo and guide melody', run: playsLiveControls },
];
