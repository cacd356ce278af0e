// The night's state (queue, song playing, its controls, history) as the
// server pushes it: a text/event-stream at /api/events that sends the whole
// state when it connects and again after every change. Used by the TV page
// and the phone page alike, so every screen shows the same thing.
//
// A phone that slept or lost its network may hold a connection that looks
// open but is dead: whenever the page becomes visible again or the network
// comes back, the stream is opened anew, and its first message is the
// whole state.

// How long to wait before opening a stream again after it failed (the
// server stopped, restarted, or refused it): doubled after each failure, so
// a restarted server is found at once and a gone one is not hammered.
// (EventSource's own retry waits a fixed 3 s, and none after a refusal.)
const RETRY_FIRST_MS = 250;
const RETRY_MOST_MS = 30_000;

export const emptyNight = () => ({ version: -1, playing: null, entries: [], controls: null, history: [] });

// onState(state) is called with each newer state; onConnected(bool) when the
// stream opens or fails. Returns { offer(state) }: a state that answered one
// of this page's own requests, taken when newer than the one held.
export function followNight({ onState, onConnected = () => {} }) {
  let source = null;
  let version = -1;
  // The first message on a connection is taken whatever its version: the
  // server may have started again, counting from an older version.
  let fresh = true;
  let retryMs = RETRY_FIRST_MS;
  let retryTimer = 0;

  const take = (state) => {
    version = state.version;
    onState(state);
  };

  const connect = () => {
    clearTimeout(retryTimer);
    source?.close();
    fresh = true;
    const stream = new EventSource('/api/events');
    source = stream;
    stream.addEventListener('state', (event) => {
      let state;
      try {
        state = JSON.parse(event.data);
      } catch {
        return;
      }
      if (!state || !Number.isInteger(state.version) || !Array.isArray(state.entries)) return;
      if (!fresh && state.version < version) return;
      fresh = false;
      retryMs = RETRY_FIRST_MS;
      take(state);
    });
    stream.addEventListener('open', () => onConnected(true));
    stream.addEventListener('error', () => {
      if (stream !== source) return;
      stream.close();
      onConnected(false);
      retryTimer = setTimeout(connect, retryMs);
      retryMs = Math.min(retryMs * 2, RETRY_MOST_MS);
    });
  };

  document.addEventListener('visibilitychange', () => {
    if (document.visibilityState === 'visible') connect();
  });
  window.addEventListener('online', connect);
  connect();

  return {
    offer(state) {
      if (state && Number.isInteger(state.version) && state.version > version) take(state);
    },
  };
}
