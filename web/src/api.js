// The server's JSON API and the soundfont. Every failure becomes an Error
// whose message is the sentence to show: the server's own ({"error": "..."})
// when it sent one, with the answer's status in `status`.

// Headers sent with every API request: the phone page's identity and, once
// it is known to be right, the host's PIN. The TV page sends none.
let identity = {};

export function setIdentity(headers) {
  identity = { ...headers };
}

async function answer(path, options) {
  try {
    return await fetch(path, { cache: 'no-store', ...options, headers: { ...identity, ...options?.headers } });
  } catch (error) {
    // A request given up for a newer one (a search typed further) is no failure.
    if (error?.name === 'AbortError') throw error;
    throw new Error('The kdb2mid server does not answer.');
  }
}

async function refusal(response) {
  let error = new Error(`The server answered ${response.status}.`);
  try {
    const body = await response.json();
    if (typeof body?.error === 'string' && body.error !== '') error = new Error(body.error);
  } catch {
    // Not JSON: the status alone says what happened.
  }
  error.status = response.status;
  return error;
}

async function request(path, options = {}) {
  const response = await answer(path, options);
  if (!response.ok) throw await refusal(response);
  try {
    return await response.json();
  } catch {
    throw new Error(`The server's answer to ${path} is not JSON.`);
  }
}

const send = (method, path, value) => request(path, {
  method,
  headers: { 'Content-Type': 'application/json' },
  body: value === undefined ? undefined : JSON.stringify(value),
});

export const getQueue = () => request('/api/queue');
// The next entry plays; with `after`, only while that entry is the one playing
// (a song's end reported twice moves on once).
export const nextInQueue = (after) => send('POST', '/api/queue/next', after === undefined ? {} : { after });
export const addToQueue = (song, singer, key) => send('POST', '/api/queue', { song, singer, key });
export const removeFromQueue = (id) => send('DELETE', `/api/queue/${encodeURIComponent(id)}`);
export const moveInQueue = (id, to) => send('POST', '/api/queue/move', { id, to });
// Any of paused, key, tempo, guide for the song playing.
export const setControls = (controls) => send('POST', '/api/controls', controls);
export const getKaraoke = (song) => request(`/api/songs/${encodeURIComponent(song)}/karaoke`);
export const search = (text, signal) => request(`/api/search?q=${encodeURIComponent(text)}`, { signal });
export const getKeys = (singer, song) => request(
  `/api/keys?singer=${encodeURIComponent(singer)}&song=${encodeURIComponent(song)}`,
);
export const getMe = (headers) => request('/api/me', { headers });
export const getPin = () => request('/api/pin');
export const getJoin = () => request('/api/join');

// The .mid bytes of a karaoke answer.
export function midiBytes(base64) {
  let text;
  try {
    text = atob(base64);
  } catch {
    throw new Error("The song's MIDI data from the server is damaged.");
  }
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i += 1) bytes[i] = text.charCodeAt(i);
  return bytes.buffer;
}

export async function getSoundfont() {
  const response = await answer('/soundfont');
  if (!response.ok) throw await refusal(response);
  return response.arrayBuffer();
}
