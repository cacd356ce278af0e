// The live controls of the song playing: the settings, what they read as on
// screen, and the TV's keys and buttons that change them.

// The guide melody's levels: the melody channel's gain. The names are the
// server's words for them (the "guide" of the night's controls).
export const GUIDE_LEVELS = [
  { name: 'off', gain: 0 },
  { name: 'soft', gain: 0.4 },
  { name: 'normal', gain: 1 },
  { name: 'strong', gain: 1.8 },
];

export const KEY_RANGE = 12;
export const TEMPO_MIN = 50;
export const TEMPO_MAX = 150;
export const TEMPO_STEP = 5;
const VOLUME_STEP = 10;
const NORMAL_GUIDE = GUIDE_LEVELS.findIndex((level) => level.name === 'normal');
// A song number is at most this many digits.
const NUMBER_DIGITS = 6;

export function defaultSettings() {
  return { key: 0, tempo: 100, guide: NORMAL_GUIDE, volume: 100 };
}

const clamp = (value, low, high) => Math.min(Math.max(value, low), high);

// The settings after one action; actions: key+/key-, tempo+/tempo-, guide,
// volume+/volume-.
export function change(settings, action) {
  const next = { ...settings };
  switch (action) {
    case 'key+': next.key = clamp(settings.key + 1, -KEY_RANGE, KEY_RANGE); break;
    case 'key-': next.key = clamp(settings.key - 1, -KEY_RANGE, KEY_RANGE); break;
    case 'tempo+': next.tempo = clamp(settings.tempo + TEMPO_STEP, TEMPO_MIN, TEMPO_MAX); break;
    case 'tempo-': next.tempo = clamp(settings.tempo - TEMPO_STEP, TEMPO_MIN, TEMPO_MAX); break;
    case 'guide': next.guide = (settings.guide + 1) % GUIDE_LEVELS.length; break;
    case 'volume+': next.volume = clamp(settings.volume + VOLUME_STEP, 0, 100); break;
    case 'volume-': next.volume = clamp(settings.volume - VOLUME_STEP, 0, 100); break;
    default: break;
  }
  return next;
}

// "Key +2", "Key 0", "Key −3"
export const keyText = (key) => `Key ${key > 0 ? '+' : key < 0 ? '\u2212' : ''}${Math.abs(key)}`;
export const tempoText = (tempo) => `Tempo ${tempo} %`;
export const guideText = (guide) => `Guide ${GUIDE_LEVELS[guide].name}`;
export const guideName = (guide) => GUIDE_LEVELS[guide].name;
// The level the server's word names; normal for a word not known here.
export function guideIndex(name) {
  const index = GUIDE_LEVELS.findIndex((level) => level.name === name);
  return index >= 0 ? index : NORMAL_GUIDE;
}
export const volumeText = (volume) => `Volume ${volume} %`;

// The keys a TV remote or keyboard sends, and the action each one means.
const KEYS = {
  ArrowRight: 'key+',
  ArrowLeft: 'key-',
  ArrowUp: 'tempo+',
  ArrowDown: 'tempo-',
  g: 'guide',
  G: 'guide',
  ' ': 'pause',
  n: 'next',
  N: 'next',
  r: 'restart',
  R: 'restart',
  '+': 'volume+',
  '-': 'volume-',
};

// Listens to the keyboard: actions go to onAction, a song number typed as
// digits then Enter goes to onNumber; onTyping shows the digits so far
// ("" when none).
export function listenToKeys({ onAction, onNumber, onTyping }) {
  let digits = '';
  const typing = (value) => {
    digits = value;
    onTyping(digits);
  };
  document.addEventListener('keydown', (event) => {
    if (event.ctrlKey || event.altKey || event.metaKey) return;
    // A focused slider takes every key, a focused button Space and Enter.
    const target = event.target instanceof Element ? event.target : null;
    if (target?.closest('input')) return;
    if (target?.closest('button') && (event.key === ' ' || event.key === 'Enter')) return;
    if (/^[0-9]$/.test(event.key)) {
      if (digits.length < NUMBER_DIGITS) typing(digits + event.key);
    } else if (event.key === 'Enter' && digits !== '') {
      const number = Number(digits);
      typing('');
      onNumber(number);
    } else if (event.key === 'Backspace' && digits !== '') {
      typing(digits.slice(0, -1));
    } else if (event.key === 'Escape' && digits !== '') {
      typing('');
    } else if (KEYS[event.key]) {
      onAction(KEYS[event.key]);
    } else {
      return;
    }
    event.preventDefault();
  });
}

// Buttons carry their action in data-action.
export function listenToButtons(container, onAction) {
  container.addEventListener('click', (event) => {
    const button = event.target instanceof Element ? event.target.closest('button[data-action]') : null;
    if (button) onAction(button.dataset.action);
  });
}
