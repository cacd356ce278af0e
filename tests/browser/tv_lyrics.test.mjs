// When the TV page shows each lyric line, the title card and the countdown
// (web/src/lyrics.js, run here in Node: it touches no page). Expected times
// worked out by hand from the rules: two rows taking turns, a line no more
// than 8 s early and not before its row is free or its section's countdown,
// a countdown before the first line and after gaps of 8 s or more.
import assert from 'node:assert/strict';
import { schedule, countdownDots } from '../../web/src/lyrics.js';

const lines = (...starts) => starts.map((times) => ({ words: times.map((time, i) => ({ text: `w${i}`, time })) }));

const cases = [
  {
    name: 'long intro, a break before the last line',
    lines: lines([20, 21], [23, 24], [26], [40]),
    rows: [0, 1, 0, 1],
    shown: [[17, 22.5], [17, 25.5], [22.5, 27.5], [37, 41.5]],
    titleUntil: 16.5,
    countdowns: [{ from: 17, at: 20 }, { from: 37, at: 40 }],
    dots: [[16.9, 0], [17.2, 3], [19.5, 1], [20, 0], [38.5, 2]],
  },
  {
    name: 'short intro: no title card, countdown from the start',
    lines: lines([2.4, 2.7], [6]),
    rows: [0, 1],
    shown: [[0, 4.2], [0, 7.5]],
    titleUntil: 0,
    countdowns: [{ from: 0, at: 2.4 }],
    dots: [[0, 3], [1.5, 1]],
  },
  {
    // The third line's row is free at 11.5, but it waits until 8 s before its first word.
    name: 'a line at most 8 s early',
    lines: lines([10], [11, 17.5], [20.5]),
    rows: [0, 1, 0],
    shown: [[7, 11.5], [7, 19], [12.5, 22]],
    titleUntil: 6.5,
    countdowns: [{ from: 7, at: 10 }],
    dots: [],
  },
  {
    name: 'a word timed before the one it follows is held at that time; empty lines dropped',
    lines: [{ words: [{ text: 'a', time: 5 }, { text: 'b', time: 4 }] }, { words: [] }],
    rows: [0],
    shown: [[2, 6.5]],
    titleUntil: 1.5,
    countdowns: [{ from: 2, at: 5 }],
    dots: [],
    words: [5, 5],
  },
];

export const tests = [{
  name: 'lyric lines, title card and countdowns are timed like the karaoke video',
  async run() {
    for (const expected of cases) {
      const plan = schedule(expected.lines);
      const label = expected.name;
      assert.deepEqual(plan.lines.map((line) => line.row), expected.rows, label);
      assert.deepEqual(plan.lines.map((line) => [line.show, line.hide]), expected.shown, label);
      assert.equal(plan.titleUntil, expected.titleUntil, label);
      assert.deepEqual(plan.countdowns, expected.countdowns, label);
      for (const [t, dots] of expected.dots) assert.equal(countdownDots(plan.countdowns, t), dots, `${label} at ${t}`);
      if (expected.words) assert.deepEqual(plan.words, expected.words, label);
    }
  },
}];
