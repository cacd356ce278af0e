// The phone page (/sing): a guest finds a song as they type, queues it under
// their name and key, and sees the queue as the TV does; the host, once the
// TV's PIN is typed in, also skips, pauses, moves and removes songs and sets
// the key, tempo and guide of the song playing. Every name a guest typed is
// put on screen as text, never as markup.
import * as api from './api.js';
import { followNight, emptyNight } from './night.js';
import {
  GUIDE_LEVELS, KEY_RANGE, TEMPO_MIN, TEMPO_MAX, TEMPO_STEP, keyText, tempoText,
} from './controls.js';

// A search is sent once typing has paused this long.
const SEARCH_DELAY_MS = 150;
// The remembered keys are asked for once the name has not changed for this long.
const KEYS_DELAY_MS = 300;
const RESULTS = 30;

const $ = (id) => document.getElementById(id);

// What this phone remembers: its identity, the singer's name, the PIN. A
// browser that keeps nothing (storage off) still works for this visit.
const store = {
  get(name) {
    try {
      return localStorage.getItem(`kdb2mid.${name}`) ?? '';
    } catch {
      return '';
    }
  },
  set(name, value) {
    try {
      if (value === '') localStorage.removeItem(`kdb2mid.${name}`);
      else localStorage.setItem(`kdb2mid.${name}`, value);
    } catch {
      // Not kept: asked again next visit.
    }
  },
};

// 128 random bits, base64url: the phone's private token. The server shows
// only an id derived from it, so nobody can act as another phone.
function phoneToken() {
  let token = store.get('phone');
  if (/^[A-Za-z0-9_-]{22,64}$/.test(token)) return token;
  const bytes = crypto.getRandomValues(new Uint8Array(16));
  token = btoa(String.fromCharCode(...bytes)).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
  store.set('phone', token);
  return token;
}

const token = phoneToken();
let me = { phone: '', host: false };
let pin = '';
let night = emptyNight();

function useIdentity() {
  api.setIdentity({ 'X-Kdb2mid-Phone': token, ...(pin !== '' ? { 'X-Kdb2mid-Pin': pin } : {}) });
}
useIdentity();

// A name as the server takes it: trimmed, no control characters, at most
// 40 characters.
const cleanName = (text) => [...text.replace(/\p{Cc}/gu, '').trim()].slice(0, 40).join('');

function element(tag, className, text) {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (text !== undefined) made.textContent = text;
  return made;
}

function button(text, data, label) {
  const made = element('button', '', text);
  made.type = 'button';
  Object.assign(made.dataset, data);
  if (label) made.setAttribute('aria-label', label);
  return made;
}

// The song's title, in Vietnamese, as an element of its own.
function titleElement(tag, text) {
  const made = element(tag, 'title', text);
  made.lang = 'vi';
  return made;
}

// ---- Search as you type ----

let searchTimer = 0;
let searching = null;

function showResults(results) {
  const list = $('results');
  list.replaceChildren(...results.map((result) => {
    const item = element('li', 'result');
    const titles = element('span', 'titles');
    titles.append(titleElement('span', result.title));
    if (result.second) {
      const second = element('span', 'second', result.second);
      second.lang = 'vi';
      titles.append(second);
    }
    item.append(element('span', 'number', String(result.song)), titles,
      button('Add', { song: String(result.song), title: result.title }));
    return item;
  }));
}

async function search() {
  const text = $('search').value.normalize('NFC').trim();
  searching?.abort();
  searching = null;
  if (text === '') {
    showResults([]);
    $('search-status').textContent = '';
    return;
  }
  const controller = new AbortController();
  searching = controller;
  try {
    const { results } = await api.search(text, controller.signal);
    if (searching !== controller) return;
    const found = Array.isArray(results) ? results.slice(0, RESULTS) : [];
    showResults(found);
    $('search-status').textContent = found.length === 0 ? `No song matches “${text}”.` : '';
  } catch (error) {
    if (error?.name === 'AbortError' || searching !== controller) return;
    $('search-status').textContent = error.message;
  }
}

$('search').addEventListener('input', () => {
  clearTimeout(searchTimer);
  searchTimer = setTimeout(search, SEARCH_DELAY_MS);
});
$('search').addEventListener('keydown', (event) => {
  if (event.key !== 'Enter') return;
  clearTimeout(searchTimer);
  search();
  event.target.blur();
});

// ---- Adding a song: the singer's name (typed once, remembered) and a key ----

let adding = null;
let keysTimer = 0;

function showAddKey() {
  $('add-key').textContent = keyText(adding.key);
}

// The keys this singer sang before, offered as buttons.
async function offerKeys() {
  const hints = $('key-hints');
  hints.replaceChildren();
  const request = adding;
  const singer = cleanName($('singer').value);
  if (!request || singer === '') return;
  let keys;
  try {
    keys = await api.getKeys(singer, request.song);
  } catch {
    return;
  }
  if (adding !== request || cleanName($('singer').value) !== singer) return;
  const offers = [['This song last time', keys.song], ['Usual', keys.usual]]
    .filter(([, key]) => Number.isInteger(key));
  hints.replaceChildren(...offers.map(([label, key]) => button(`${label}: ${keyText(key)}`, { key: String(key) })));
  if (!request.keyChosen && offers.length > 0) {
    request.key = offers[0][1];
    showAddKey();
  }
}

function openAdd(song, title) {
  if ($('add-dialog').open) return;
  adding = { song, key: 0, keyChosen: false };
  $('add-title').textContent = title || String(song);
  $('add-status').textContent = '';
  $('singer').value = store.get('singer');
  showAddKey();
  $('add-dialog').showModal();
  if ($('singer').value === '') $('singer').focus();
  else $('add-confirm').focus();
  offerKeys();
}

$('results').addEventListener('click', (event) => {
  const add = event.target.closest('button[data-song]');
  if (add) openAdd(Number(add.dataset.song), add.dataset.title);
});
$('singer').addEventListener('input', () => {
  clearTimeout(keysTimer);
  keysTimer = setTimeout(offerKeys, KEYS_DELAY_MS);
});
$('add-dialog').addEventListener('click', (event) => {
  const target = event.target.closest('button[data-step], button[data-key]');
  if (!target || !adding) return;
  const key = target.dataset.key !== undefined ? Number(target.dataset.key) : adding.key + Number(target.dataset.step);
  adding.key = Math.max(-KEY_RANGE, Math.min(KEY_RANGE, key));
  adding.keyChosen = true;
  showAddKey();
});
$('add-cancel').addEventListener('click', () => $('add-dialog').close());
$('add-dialog').addEventListener('close', () => { adding = null; });
$('add-form').addEventListener('submit', async (event) => {
  event.preventDefault();
  const request = adding;
  const singer = cleanName($('singer').value);
  if (!request) return;
  if (singer === '') {
    $('add-status').textContent = 'Type your name, so the TV can call you.';
    $('singer').focus();
    return;
  }
  $('add-confirm').disabled = true;
  try {
    const { entry } = await api.addToQueue(request.song, singer, request.key);
    store.set('singer', singer);
    $('add-dialog').close();
    $('search-status').textContent = `Added: ${entry.title || entry.song}.`;
  } catch (error) {
    $('add-status').textContent = error.message;
  } finally {
    $('add-confirm').disabled = false;
  }
});

// ---- The queue, as the server pushes it ----

// Buttons are made anew with each state: the one that had the focus (by its
// entry and action) gets it back, so a host can press "Move up" again.
function keepFocus(list, render) {
  const focused = list.contains(document.activeElement) ? document.activeElement.dataset : null;
  const wanted = focused ? `button[data-id="${focused.id}"][data-act="${focused.act}"]` : null;
  render();
  if (wanted) list.querySelector(wanted)?.focus();
}

function showQueue() {
  const list = $('queue');
  const { entries } = night;
  keepFocus(list, () => list.replaceChildren(...entries.map((entry, index) => {
    const mine = me.phone !== '' && entry.phone === me.phone;
    const item = element('li', mine ? 'entry mine' : 'entry');
    item.dataset.id = String(entry.id);
    const about = element('span', 'about');
    about.append(titleElement('span', entry.title || String(entry.song)));
    const who = element('span', 'singer', entry.singer || 'TV');
    if (mine) who.append(element('span', 'you', ' (you)'));
    about.append(who);
    if (entry.key) about.append(element('span', 'key', keyText(entry.key)));
    const actions = element('span', 'actions');
    const id = String(entry.id);
    if (me.host) {
      if (index > 0) actions.append(button('↑', { id, act: 'up' }, 'Move up'));
      if (index < entries.length - 1) actions.append(button('↓', { id, act: 'down' }, 'Move down'));
    }
    if (mine || me.host) actions.append(button('✕', { id, act: 'remove' }, 'Remove'));
    item.append(element('span', 'position', String(index + 1)), about, actions);
    return item;
  })));
  $('queue-empty').hidden = entries.length > 0;
}

function showNow() {
  const { playing, controls } = night;
  $('now').hidden = !playing;
  if (!playing) return;
  $('now-title').textContent = playing.title || String(playing.song);
  $('now-singer').textContent = playing.singer || '';
  if (controls) {
    const guide = `Guide ${controls.guide}`;
    $('now-controls').textContent = [keyText(controls.key), tempoText(controls.tempo), guide,
      ...(controls.paused ? ['Paused'] : [])].join(' · ');
    $('host-key').textContent = keyText(controls.key);
    $('host-tempo').textContent = tempoText(controls.tempo);
    $('host-guide').value = controls.guide;
    $('pause-button').textContent = controls.paused ? 'Resume' : 'Pause';
  }
  $('now-host').hidden = !me.host;
}

function show() {
  showNow();
  showQueue();
}

const follower = followNight({
  onState(state) {
    night = state;
    show();
  },
  onConnected(connected) {
    $('connection').textContent = connected ? '' : 'Reconnecting…';
    if (connected) checkMe();
  },
});

// Host actions go one after another, each computed from the state the one
// before it left (two quick presses of "Key up" are two semitones).
let hostChain = Promise.resolve();
function perform(request) {
  hostChain = hostChain.then(async () => {
    try {
      follower.offer(await request());
      $('host-status').textContent = '';
    } catch (error) {
      $('host-status').textContent = error.message;
      if (error.status === 403 && pin !== '') checkMe();
    }
  });
}

$('queue').addEventListener('click', (event) => {
  const target = event.target.closest('button[data-act]');
  if (!target) return;
  const id = Number(target.dataset.id);
  const { act } = target.dataset;
  if (act === 'remove') {
    perform(() => api.removeFromQueue(id));
  } else {
    perform(() => {
      const at = night.entries.findIndex((entry) => entry.id === id);
      return api.moveInQueue(id, Math.max(0, at + (act === 'up' ? -1 : 1)));
    });
  }
});

const clamp = (value, low, high) => Math.min(Math.max(value, low), high);
$('now-host').addEventListener('click', (event) => {
  const action = event.target.closest('button[data-host]')?.dataset.host;
  if (!action) return;
  perform(() => {
    const { playing, controls } = night;
    if (!playing) return Promise.resolve(null);
    switch (action) {
      case 'skip': return api.nextInQueue(playing.id);
      case 'pause': return api.setControls({ paused: !controls.paused });
      case 'key+': return api.setControls({ key: clamp(controls.key + 1, -KEY_RANGE, KEY_RANGE) });
      case 'key-': return api.setControls({ key: clamp(controls.key - 1, -KEY_RANGE, KEY_RANGE) });
      case 'tempo+': return api.setControls({ tempo: clamp(controls.tempo + TEMPO_STEP, TEMPO_MIN, TEMPO_MAX) });
      default: return api.setControls({ tempo: clamp(controls.tempo - TEMPO_STEP, TEMPO_MIN, TEMPO_MAX) });
    }
  });
});
$('host-guide').replaceChildren(...GUIDE_LEVELS.map(({ name }) => {
  const option = element('option', '', name);
  option.value = name;
  return option;
}));
$('host-guide').addEventListener('change', (event) => {
  const guide = event.target.value;
  perform(() => api.setControls({ guide }));
});

// ---- Who this phone is, and whether its PIN makes it the host ----

function showHost() {
  $('pin-form').hidden = me.host;
  $('host-on').hidden = !me.host;
  document.body.classList.toggle('host', me.host);
  show();
}

// Asks the server who this phone is; a PIN it does not take is forgotten.
async function checkMe(candidate = pin) {
  try {
    const answer = await api.getMe(candidate !== '' ? { 'X-Kdb2mid-Pin': candidate } : {});
    me = { phone: typeof answer.phone === 'string' ? answer.phone : '', host: answer.host === true };
    if (candidate !== '' && !me.host) throw Object.assign(new Error('That is not the PIN the TV shows.'), { status: 403 });
    pin = me.host ? candidate : '';
    store.set('pin', pin);
    useIdentity();
    $('host-status').textContent = '';
    return true;
  } catch (error) {
    $('host-status').textContent = error.message;
    if (error.status === 403) {
      pin = '';
      store.set('pin', '');
      useIdentity();
    }
    return false;
  } finally {
    showHost();
  }
}

$('pin-form').addEventListener('submit', async (event) => {
  event.preventDefault();
  const typed = $('pin').value.trim();
  if (await checkMe(typed)) $('pin').value = '';
});
$('lock').addEventListener('click', () => {
  pin = '';
  store.set('pin', '');
  useIdentity();
  checkMe();
});

pin = store.get('pin');
useIdentity();
