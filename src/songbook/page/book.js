// The song book's search: every word typed must start a word of the song's
// number, name or titles, marks and case ignored. The songs' words are folded
// by kdb2mid; a query is folded here by the same rules, which kdb2mid writes
// into the page as the table in #fold.
'use strict';
(() => {
  const table = JSON.parse(document.getElementById('fold').textContent);
  const folds = new Map(Object.entries(table.map));
  const within = (ranges, codePoint) =>
    ranges.some(([first, last]) => codePoint >= first && codePoint <= last);

  // What `kdb2mid search` folds text to: lower case letters without marks,
  // digits, one space between words.
  const fold = (text) => {
    let out = '';
    let inWord = false;
    for (const character of text) {
      const codePoint = character.codePointAt(0);
      let folded;
      if (codePoint < 0x80) {
        folded = /[0-9A-Za-z]/.test(character) ? character.toLowerCase() : null;
      } else if (codePoint >= 0xd800 && codePoint <= 0xdfff) {
        folded = null; // a lone surrogate is no character
      } else if (within(table.drop, codePoint)) {
        continue;
      } else if (within(table.split, codePoint)) {
        folded = null;
      } else {
        folded = folds.get(character) ?? character;
      }
      if (folded === null) {
        inWord = false;
        continue;
      }
      if (!inWord && out !== '') out += ' ';
      inWord = true;
      out += folded;
    }
    return out;
  };

  const rows = [...document.querySelectorAll('li[data-k]')].map((row) => ({
    row, key: ` ${row.dataset.k}`, group: row.closest('.group'),
  }));
  const groups = [...document.querySelectorAll('.group')];
  const sections = [...document.querySelectorAll('main section')];
  const none = document.getElementById('none');
  const input = document.getElementById('find');

  // Only what changes is touched: 60,000 lines restyled at every key would
  // make a large book slow to search.
  const setHidden = (element, hidden) => {
    if (element.hidden !== hidden) element.hidden = hidden;
  };

  const show = () => {
    const starts = fold(input.value).split(' ').filter((word) => word !== '').map((word) => ` ${word}`);
    const shownGroups = new Set();
    for (const { row, key, group } of rows) {
      const match = starts.every((start) => key.includes(start));
      setHidden(row, !match);
      if (match) shownGroups.add(group);
    }
    for (const group of groups) setHidden(group, !shownGroups.has(group));
    for (const section of sections) {
      setHidden(section, !groups.some((group) => shownGroups.has(group) && section.contains(group)));
    }
    none.hidden = shownGroups.size > 0;
  };

  let timer = 0;
  input.addEventListener('input', () => {
    clearTimeout(timer);
    timer = setTimeout(show, rows.length > 5000 ? 200 : 30);
  });
  if (input.value !== '') show();
})();
