// When each lyric line, the title card and the countdowns are on screen,
// from the words' start times (seconds on the MIDI file's own timeline at
// 100 % tempo, as the server computes them). Everything here is in those
// seconds: the page compares them with the sequencer's position, which is on
// the same timeline whatever the tempo, so the lyrics follow a tempo change.
//
// The look is the karaoke video's: lines take turns on two rows, a line
// shows while the line before it on its row has been sung and gone, the
// words fill from white to gold as they are sung, a title card covers the
// intro and three dots count down before the first line and after every
// instrumental break.

// A line appears at most this long before its first word, and no earlier
// than its section's countdown (a section: the lines after a break).
export const LEAD_IN = 8;
// A line stays this long after its last word has filled.
export const TAIL = 0.5;
// The last word of a line fills for this long, or until the next line starts.
export const LAST_WORD = 1;
// A gap this long between a line's last word and the next line's first word
// is an instrumental break, which ends with a countdown.
export const BREAK = 8;
export const COUNTDOWN_DOTS = 3;
export const COUNTDOWN_STEP = 1;
// The title card goes this long before the first line appears, and is left
// out when it would show for less than TITLE_SHORTEST.
export const TITLE_GAP = 0.5;
export const TITLE_SHORTEST = 1;

// lines: [{ words: [{ text, time }] }] as the server sends them. Lines
// without words are dropped; word times never go backwards (a later word
// with an earlier time is held at the time before it).
//
// Returns { lines: [{ row, show, hide, words: [{ text, time, filled }] }],
//           words: [every word's time in order], titleUntil, countdowns:
//           [{ from, at }] }: a line is on screen from show to hide, a word
// fills from time to filled, a countdown runs from `from` to `at`.
export function schedule(lines) {
  const kept = lines.filter((line) => Array.isArray(line.words) && line.words.length > 0);
  const words = [];
  let last = 0;
  const out = kept.map((line, index) => {
    const timed = line.words.map((word) => {
      const time = Number.isFinite(word.time) ? word.time : last;
      last = Math.max(last, time);
      words.push(last);
      return { text: String(word.text ?? ''), time: last, filled: 0 };
    });
    return { row: index % 2, show: 0, hide: 0, words: timed, sungUntil: 0 };
  });

  const first = (i) => out[i].words[0].time;
  const countdowns = [];
  let sectionShow = 0;
  for (let i = 0; i < out.length; i += 1) {
    const line = out[i];
    const next = i + 1 < out.length ? first(i + 1) : Infinity;
    line.words.forEach((word, j) => {
      word.filled = j + 1 < line.words.length ? line.words[j + 1].time : Math.min(word.time + LAST_WORD, next);
    });
    line.sungUntil = line.words[line.words.length - 1].filled;
    // The line two further on takes this row: this one must be gone by its first word.
    line.hide = Math.min(line.sungUntil + TAIL, i + 2 < out.length ? first(i + 2) : Infinity);
    const startsSection = i === 0 || first(i) - out[i - 1].sungUntil >= BREAK;
    if (startsSection) {
      countdowns.push({ from: Math.max(first(i) - COUNTDOWN_DOTS * COUNTDOWN_STEP, 0), at: first(i) });
      sectionShow = first(i) - COUNTDOWN_DOTS * COUNTDOWN_STEP;
    }
    line.show = Math.max(first(i) - LEAD_IN, sectionShow, 0);
    if (i >= 2) line.show = Math.max(line.show, out[i - 2].hide);
    if (!startsSection && i >= 1) line.show = Math.max(line.show, out[i - 1].show);
  }
  const titleUntil = out.length > 0 ? out[0].show - TITLE_GAP : Infinity;
  return {
    lines: out,
    words,
    titleUntil: titleUntil >= TITLE_SHORTEST ? titleUntil : 0,
    countdowns,
  };
}

// How many of the times (never decreasing) are at or before t.
export function countReached(times, t) {
  let low = 0;
  let high = times.length;
  while (low < high) {
    const middle = (low + high) >> 1;
    if (times[middle] <= t) low = middle + 1;
    else high = middle;
  }
  return low;
}

// The dots left at t, or 0 when no countdown runs.
export function countdownDots(countdowns, t) {
  for (const { from, at } of countdowns) {
    if (t >= from && t < at) return Math.min(COUNTDOWN_DOTS, Math.ceil((at - t) / COUNTDOWN_STEP));
  }
  return 0;
}
