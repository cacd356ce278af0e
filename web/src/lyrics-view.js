// The lyric screen of one song: the lines as real text, one element per
// word, drawn for a position on the song's timeline. A word whose time has
// come carries data-sung (screen readers, tests and custom styles follow the
// song by it); the word being sung fills from left to right through the
// --fill custom property.
import { schedule, countReached, countdownDots } from './lyrics.js';

export class LyricsView {
  // elements: { lines, titleCard, title, subtitle, countdown }. The lines
  // go into `lines` in the song's order (the order they are read in); each
  // is placed on the upper or lower row by its class.
  constructor(elements) {
    this.elements = elements;
    this.clear();
  }

  clear() {
    this.elements.lines.replaceChildren();
    this.elements.titleCard.hidden = true;
    this.elements.countdown.textContent = '';
    this.plan = schedule([]);
    this.lineElements = [];
    this.wordElements = [];
    this.words = [];
    this.sung = 0;
    this.filling = null;
  }

  // song: the server's karaoke answer.
  load(song) {
    this.clear();
    const titles = Array.isArray(song.titles) ? song.titles : [];
    this.elements.title.textContent = titles[0] ?? '';
    this.elements.subtitle.textContent = titles[1] ?? '';
    this.plan = schedule(Array.isArray(song.lines) ? song.lines : []);
    this.words = this.plan.lines.flatMap((line) => line.words);
    for (const line of this.plan.lines) {
      const element = document.createElement('p');
      element.className = `line ${line.row === 0 ? 'upper' : 'lower'}`;
      element.hidden = true;
      line.words.forEach((word, index) => {
        if (index > 0) element.append(' ');
        const span = document.createElement('span');
        span.className = 'word';
        span.textContent = word.text;
        element.append(span);
        this.wordElements.push(span);
      });
      this.elements.lines.append(element);
      this.lineElements.push(element);
    }
  }

  // t: seconds on the song's timeline at 100 % tempo.
  draw(t) {
    const { plan } = this;
    const titleShown = t < plan.titleUntil && (this.elements.title.textContent !== ''
      || this.elements.subtitle.textContent !== '');
    if (this.elements.titleCard.hidden === titleShown) this.elements.titleCard.hidden = !titleShown;

    const dots = countdownDots(plan.countdowns, t);
    const text = dots > 0 ? Array(dots).fill('\u25CF').join(' ') : '';
    if (this.elements.countdown.textContent !== text) this.elements.countdown.textContent = text;

    plan.lines.forEach((line, index) => {
      const hidden = !(t >= line.show && t < line.hide);
      if (this.lineElements[index].hidden !== hidden) this.lineElements[index].hidden = hidden;
    });

    const sung = countReached(plan.words, t);
    for (let i = this.sung; i < sung; i += 1) this.wordElements[i].setAttribute('data-sung', '');
    for (let i = sung; i < this.sung; i += 1) this.wordElements[i].removeAttribute('data-sung');
    this.sung = sung;

    const filling = sung > 0 ? this.wordElements[sung - 1] : null;
    if (this.filling && this.filling !== filling) this.filling.style.removeProperty('--fill');
    this.filling = filling;
    if (filling) {
      const word = this.words[sung - 1];
      const share = word.filled > word.time ? (t - word.time) / (word.filled - word.time) : 1;
      filling.style.setProperty('--fill', `${(Math.min(Math.max(share, 0), 1) * 100).toFixed(1)}%`);
    }
  }
}
