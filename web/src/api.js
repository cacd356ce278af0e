// The server's JSON API. Every failure becomes an Error whose message is the
// sentence to show: the server's own ({"error": "..."}) when it sent one.

async function request(path, options = {}) {
  let response;
  try {
    response = await fetch(path, { cache: 'no-store', ...options });
  } catch {
    throw new Error('The kdb2mid server does not answer.');
  }
  let body = null;
  try {
    body = await response.json();
  } catch {
    // Not JSON: the status alone says what happened.
  }
  if (!response.ok) {
    const sentence = typeof body?.error === 'string' && body.error !== ''
      ? body.error
      : `The server answered ${response.status}.`;
    throw new Error(sentence);
  }
  return body;
}

const post = (path, value) => request(path, {
  method: 'POST',
  headers: { 'Content-Type': 'application/json' },
  body: value === undefined ? undefined : JSON.stringify(value),
});

export const getQueue = () => request('/api/queue');
export const nextInQueue = () => post('/api/queue/next');
export const addToQueue = (song) => post('/api/queue', { song });
export const getKaraoke = (song) => request(`/api/songs/${encodeURIComponent(song)}/karaoke`);

// The .mid bytes of a karaoke answer.
export function midiBytes(base64) {
  const text = atob(base64);
  const bytes = new Uint8Array(text.length);
  for (let i = 0; i < text.length; i += 1) bytes[i] = text.charCodeAt(i);
  return bytes.buffer;
}

export async function getSoundfont() {
  let response;
  try {
    response = await fetch('/soundfont');
  } catch {
    throw new Error('The kdb2mid server does not answer.');
  }
  if (!response.ok) {
    let sentence = `The soundfont could not be loaded (${response.status}).`;
    try {
      const body = await response.json();
      if (typeof body?.error === 'string') sentence = body.error;
    } catch {
      // Keep the status sentence.
    }
    throw new Error(sentence);
  }
  return response.arrayBuffer();
}
