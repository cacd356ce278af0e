// The server's JSON API and the soundfont. Every failure becomes an Error
// whose message is the sentence to show: the server's own ({"error": "..."})
// when it sent one.

async function answer(path, options) {
  try {
    return await fetch(path, { cache: 'no-store', ...options });
  } catch {
    throw new Error('The kdb2mid server does not answer.');
  }
}

async function refusal(response) {
  try {
    const body = await response.json();
    if (typeof body?.error === 'string' && body.error !== '') return new Error(body.error);
  } catch {
    // Not JSON: the status alone says what happened.
  }
  return new Error(`The server answered ${response.status}.`);
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

const post = (path, value) => request(path, {
  method: 'POST',
  headers: { 'Content-Type': 'application/json' },
  body: JSON.stringify(value ?? {}),
});

export const getQueue = () => request('/api/queue');
export const nextInQueue = () => post('/api/queue/next');
export const addToQueue = (song) => post('/api/queue', { song });
export const getKaraoke = (song) => request(`/api/songs/${encodeURIComponent(song)}/karaoke`);

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
