// The TV page: the screen everybody watches. It loads the soundfont once,
// follows the server's queue, plays each song's MIDI in the page and draws
// its lyrics; the live controls change the running song.
import { Player } from './player.js';
import { LyricsView } from './lyrics-view.js';
import * as api from './api.js';
import {
  defaultSettings, change, keyText, tempoText, guideText, volumeText, listenToKeys, listenToButtons,
  KEY_RANGE,
} from './controls.js';

// The queue is asked for this often.
const POLL_MS = 500;
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
let queue = { playing: null, entries: [] };
// The entry being played and its karaoke data.
let current = null;
// A song is being fetched, started or left: the queue is not moved meanwhile.
let busy = false;
// The last entry played or refused, so the server's "playing" is not played twice.
let doneId = null;
let noticeTimer = 0;

const sleep = (ms) => new Promise((resolve) => { setTimeout(resolve, ms); });

function showBoard(text) {
  $('board').hidden = false;
  $('notice').textContent = text;
}

// A passing message over whatever is on screen.
function flash(text) {
  showBoard(text);
  clearTimeout(noticeTimer);
  noticeTimer = setTimeout(() => {
    if (current) $('board').hidden = true;
    else showBoard(IDLE_TEXT);
  }, NOTICE_MS);
}

// "SINGER — TITLE", or the title alone; guests' names are only ever text.
function entryText(entry) {
  const title = entry.title || `${entry.song}`;
  return entry.singer ? `${entry.singer} \u2014 ${title}` : title;
}

function showUpNext() {
  const next = queue.entries?.[0];
  const element = $('up-next');
  element.hidden = !next || current !== null;
  element.textContent = next ? `Up next: ${entryText(next)}` : '';
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
}

async function play(entry) {
  $('up-next').hidden = false;
  $('up-next').textContent = `Up next: ${entryText(entry)}`;
  $('board').hidden = false;
  $('notice').textContent = '';
  try {
    const song = await api.getKaraoke(entry.song);
    const midi = api.midiBytes(String(song.midi ?? ''));
    lyrics.load(song);
    const key = Number.isInteger(entry.key) ? Math.max(-KEY_RANGE, Math.min(KEY_RANGE, entry.key)) : 0;
    settings = { ...settings, key, tempo: 100 };
    current = { entry, song };
    player.play(midi, song.melodyChannel, settings);
    $('board').hidden = true;
    showSettings();
  } catch (error) {
    doneId = entry.id;
    current = null;
    lyrics.clear();
    $('up-next').hidden = true;
    flash(error.message);
    await sleep(NOTICE_MS);
    await moveOn();
  }
}

// The song has ended or was skipped: the server's next entry plays, after
// the interlude when the song ended by itself.
async function moveOn(interlude = false) {
  if (current) doneId = current.entry.id;
  current = null;
  player.stop();
  lyrics.clear();
  queue = await api.nextInQueue();
  showUpNext();
  if (!queue.playing) {
    showBoard(IDLE_TEXT);
    return;
  }
  if (interlude) {
    showBoard('');
    $('up-next').hidden = false;
    $('up-next').textContent = `Up next: ${entryText(queue.playing)}`;
    await sleep(INTERLUDE_MS);
  }
  await play(queue.playing);
}

async function leave(interlude = false) {
  if (busy) return;
  busy = true;
  try {
    await moveOn(interlude);
  } catch (error) {
    flash(error.message);
  } finally {
    busy = false;
  }
}

// Nothing plays: the server's current entry (after a reload of this page),
// or else the first in its queue.
async function startWhenIdle() {
  if (current || busy || !ready) return;
  const playing = queue.playing && queue.playing.id !== doneId ? queue.playing : null;
  if (!playing && !(queue.entries?.length > 0)) return;
  busy = true;
  try {
    if (playing) await play(playing);
    else await moveOn();
  } catch (error) {
    flash(error.message);
  } finally {
    busy = false;
  }
}

async function poll() {
  try {
    queue = await api.getQueue();
    if (!busy) showUpNext();
    await startWhenIdle();
  } catch (error) {
    flash(error.message);
  } finally {
    setTimeout(poll, POLL_MS);
  }
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
    case 'next': leave(); return;
    case 'pause':
      if (current) player.setPaused(!player.paused);
      break;
    case 'restart':
      if (current) player.restart();
      break;
    default:
      settings = change(settings, action);
      if (current) player.apply(settings);
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

function frame() {
  if (current) {
    const t = player.position;
    lyrics.draw(t);
    const seconds = Number(current.song.seconds) || 0;
    $('position').value = seconds > 0 ? Math.min(t / seconds, 1) : 0;
  }
  requestAnimationFrame(frame);
}

player.onEnded = () => { leave(true); };
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
  poll();
}

main();
