// The TV page: the screen everybody watches. It loads the soundfont once,
// follows the night's state as the server pushes it (the song playing, the
// queue, the controls phones and this page set), plays each song's MIDI in
// the page and draws its lyrics. Its own keys and buttons change the
// controls through the server, so that the TV and every phone agree.
import { Player } from './player.js';
import { LyricsView } from './lyrics-view.js';
import * as api from './api.js';
import { followNight, emptyNight } from './night.js';
import {
  defaultSettings, change, keyText, tempoText, guideText, guideName, guideIndex, volumeText, listenToKeys,
  listenToButtons, KEY_RANGE,
} from './controls.js';

// A song that cannot be played shows the server's sentence this long before
// the next song; other notices stay as long.
const NOTICE_MS = 4000;
// After a song has ended, the next one is announced this long before it starts.
const INTERLUDE_MS = 4000;
const IDLE_TEXT = 'Type a song number, then Enter.';

const $ = (id) => document.getElementById(id);
const lyrics = new LyricsView({
  lines: $('lyrics'),
  titleCard: $('title-card'),
  title: $('title'),
  subtitle: $('subtitle'),
  countdown: $('countdown'),
});
const player = new Player();
let settings = defaultSettings();
let ready = false;
let night = emptyNight();
// The entry being played and its karaoke data.
let current = null;
// A song is being fetched or announced, or the queue moved on: the night's
// state is acted on again when that is done.
let busy = false;
// The song that ended by itself: the next one is announced first.
let interlude = false;
// The entry that ended or whose song could not be played: never played
// again, even while the server still names it (the queue is moved on).
let doneId = null;
// Changes of the controls this page sent and the server has not answered:
// until it has, pushed controls (older than them) are not applied.
let controlsSent = 0;
let controlsChain = Promise.resolve();
let noticeTimer = 0;
let flashUntil = 0;

const sleep = (ms) => new Promise((resolve) => { setTimeout(resolve, ms); });

function showBoard(text) {
  $('board').hidden = false;
  $('notice').textContent = text;
}

// A passing message over whatever is on screen.
function flash(text) {
  showBoard(text);
  flashUntil = Date.now() + NOTICE_MS;
  clearTimeout(noticeTimer);
  noticeTimer = setTimeout(() => {
    if (current) $('board').hidden = true;
    else showBoard(ready ? IDLE_TEXT : '');
  }, NOTICE_MS);
}

// "SINGER — TITLE", or the title alone; guests' names are only ever text.
function entryText(entry) {
  const title = entry.title || `${entry.song}`;
  return entry.singer ? `${entry.singer} \u2014 ${title}` : title;
}

// Who sings next: on the board between songs, small in a corner during one.
function showUpNext(entry = night.entries[0]) {
  const element = $('up-next');
  element.hidden = !entry || current !== null;
  element.textContent = entry ? `Up next: ${entryText(entry)}` : '';
  const coming = night.entries[0];
  $('coming').hidden = !coming || current === null;
  $('coming').textContent = coming ? `Next: ${entryText(coming)}` : '';
}

function showSettings() {
  $('key-text').textContent = keyText(settings.key);
  $('tempo-text').textContent = tempoText(settings.tempo);
  $('guide-text').textContent = guideText(settings.guide);
  const volume = $('volume');
  volume.value = String(settings.volume);
  volume.setAttribute('aria-valuetext', volumeText(settings.volume));
  const pause = $('pause-button');
  const paused = current !== null && player.paused;
  pause.setAttribute('aria-label', paused ? 'Resume' : 'Pause');
  pause.textContent = paused ? '\u25B6' : '\u23F8';
  // The join address and QR code: large between songs, in a corner during one.
  document.body.classList.toggle('singing', current !== null);
}

// The player's settings for the server's controls; the volume is this
// page's own.
function settingsFor(controls) {
  const { key, tempo, guide } = controls ?? {};
  return {
    ...settings,
    key: Number.isInteger(key) ? Math.max(-KEY_RANGE, Math.min(KEY_RANGE, key)) : 0,
    tempo: Number.isFinite(tempo) && tempo > 0 ? tempo : 100,
    guide: guideIndex(guide),
  };
}

// The server's controls for the song playing, applied to the player.
function followControls() {
  const { controls } = night;
  if (!current || !controls || controlsSent > 0) return;
  const next = settingsFor(controls);
  if (next.key !== settings.key || next.tempo !== settings.tempo || next.guide !== settings.guide) {
    settings = next;
    player.apply(settings);
  }
  if (typeof controls.paused === 'boolean' && controls.paused !== player.paused) player.setPaused(controls.paused);
  showSettings();
}

function stopSong() {
  current = null;
  player.stop();
  lyrics.clear();
}

// The server's answer to a change this page made is its newest state.
let follower = null;
async function ask(request) {
  const state = await request();
  follower.offer(state);
  return state;
}

async function play(entry) {
  showUpNext(entry);
  $('up-next').hidden = false;
  showBoard('');
  if (interlude) {
    interlude = false;
    await sleep(INTERLUDE_MS);
  }
  try {
    const song = await api.getKaraoke(entry.song);
    // Skipped, removed or moved on while it was fetched or announced.
    if (night.playing?.id !== entry.id) return;
    const midi = api.midiBytes(String(song.midi ?? ''));
    lyrics.load(song);
    settings = settingsFor(night.controls ?? { key: entry.key });
    current = { entry, song };
    player.play(midi, song.melodyChannel, settings);
    $('board').hidden = true;
    followControls();
  } catch (error) {
    doneId = entry.id;
    stopSong();
    $('up-next').hidden = true;
    flash(error.message);
    await sleep(NOTICE_MS);
  }
}

// One step towards what the night's state says: stop a song no longer
// playing, play the one that is, move on from one that is done, or start
// the queue when nothing plays. True when the state may need another step.
async function step() {
  const { playing } = night;
  if (current && playing?.id === current.entry.id) {
    followControls();
    return false;
  }
  if (current) stopSong();
  if (playing && playing.id === doneId) {
    await ask(() => api.nextInQueue(doneId));
    return true;
  }
  if (playing) {
    await play(playing);
    return true;
  }
  if (night.entries.length > 0) {
    await ask(() => api.nextInQueue());
    return true;
  }
  interlude = false;
  showUpNext();
  if (!player.suspended && Date.now() >= flashUntil) showBoard(IDLE_TEXT);
  return false;
}

// Runs one task that moves the night on (never two at once), then steps
// towards the state again; a failure is shown for a while first.
async function run(task) {
  if (busy) return;
  busy = true;
  let again = false;
  try {
    again = await task();
  } catch (error) {
    flash(error.message);
    await sleep(NOTICE_MS);
    again = true;
  } finally {
    busy = false;
  }
  showUpNext();
  showSettings();
  if (again) reconcile();
}

function reconcile() {
  if (ready) run(step);
}

follower = followNight({
  onState(state) {
    night = state;
    if (!busy) showUpNext();
    reconcile();
  },
  onConnected(connected) {
    if (connected) showJoin();
  },
});

// A change of the controls: heard at once, and sent to the server in the
// order made; when the last one is answered, the server's controls hold.
function sendControls(changes) {
  controlsSent += 1;
  controlsChain = controlsChain
    .then(() => ask(() => api.setControls(changes)))
    .catch((error) => flash(error.message))
    .finally(() => {
      controlsSent -= 1;
      followControls();
    });
}

function wake() {
  if (!player.suspended) return;
  player.resumeAudio()?.then(() => {
    if (ready && !current && $('notice').textContent !== IDLE_TEXT && !busy) showBoard(IDLE_TEXT);
  });
}

function act(action) {
  wake();
  if (!ready) return;
  switch (action) {
    case 'next':
      if (current) ask(() => api.nextInQueue(current.entry.id)).catch((error) => flash(error.message));
      return;
    case 'pause':
      if (!current) return;
      player.setPaused(!player.paused);
      sendControls({ paused: player.paused });
      break;
    case 'restart': {
      if (!current) return;
      const wasPaused = player.paused;
      player.restart();
      if (wasPaused) sendControls({ paused: false });
      break;
    }
    case 'volume+':
    case 'volume-':
      settings = change(settings, action);
      if (current) player.apply(settings);
      break;
    default: {
      // Key, tempo and guide belong to the song playing.
      if (!current) return;
      const next = change(settings, action);
      const changes = {};
      if (next.key !== settings.key) changes.key = next.key;
      if (next.tempo !== settings.tempo) changes.tempo = next.tempo;
      if (next.guide !== settings.guide) changes.guide = guideName(next.guide);
      settings = next;
      player.apply(settings);
      if (Object.keys(changes).length > 0) sendControls(changes);
    }
  }
  showSettings();
}

async function queueNumber(number) {
  try {
    const { entry } = await api.addToQueue(number);
    flash(`Queued: ${entryText(entry)}`);
  } catch (error) {
    flash(error.message);
  }
}

// The address phones join at, as text and a QR code, and the host's PIN:
// asked again whenever the stream connects, since a server started anew
// has a new PIN.
async function showJoin() {
  const [join, pin] = await Promise.all([
    api.getJoin().catch(() => null),
    api.getPin().catch(() => null),
  ]);
  const url = typeof join?.url === 'string' && join.url !== '' ? join.url : null;
  $('join-url').textContent = url ?? '';
  $('join-link').hidden = url === null;
  const qr = $('join-qr');
  qr.hidden = url === null;
  // Cache-busting: the QR code of a server started anew may name another address.
  if (url !== null) qr.src = `/join.svg?${encodeURIComponent(url)}`;
  const digits = typeof pin?.pin === 'string' ? pin.pin : '';
  $('pin').textContent = digits;
  $('pin-line').hidden = digits === '';
  $('join').hidden = url === null && digits === '';
}

function frame() {
  if (current) {
    const t = player.position;
    lyrics.draw(t);
    const seconds = Number(current.song.seconds) || 0;
    $('position').value = seconds > 0 ? Math.min(t / seconds, 1) : 0;
  }
  requestAnimationFrame(frame);
}

player.onEnded = () => {
  if (!current || busy) return;
  const { id } = current.entry;
  run(async () => {
    doneId = id;
    interlude = true;
    stopSong();
    await ask(() => api.nextInQueue(id));
    return true;
  });
};
listenToKeys({
  onAction: act,
  onNumber: queueNumber,
  onTyping: (digits) => {
    $('typed').hidden = digits === '';
    $('typed').textContent = digits === '' ? '' : `Song ${digits}`;
  },
});
listenToButtons($('controls'), act);
$('volume').addEventListener('input', (event) => {
  settings = { ...settings, volume: Number(event.target.value) };
  if (current) player.apply(settings);
  showSettings();
});
document.addEventListener('pointerdown', wake);
document.addEventListener('keydown', wake);

async function main() {
  showSettings();
  try {
    await player.start(await api.getSoundfont());
  } catch (error) {
    showBoard(error.message);
    return;
  }
  ready = true;
  showBoard(player.suspended ? 'Press any key to turn the sound on.' : IDLE_TEXT);
  requestAnimationFrame(frame);
  reconcile();
}

main();
