// The song book page in Chromium: opened from a file (no server, no network),
// its search box finds songs by words without marks, by number, and says so
// when nothing matches.
import { execFile } from 'node:child_process';
import { mkdtemp, rm } from 'node:fs/promises';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { promisify } from 'node:util';

const here = path.dirname(fileURLToPath(import.meta.url));
const sampleDb = path.join(here, '../../examples/sample-db');

async function withBook(browser, buildDir, use) {
  const folder = await mkdtemp(path.join(os.tmpdir(), 'kdb2mid-songbook-'));
  const page = await browser.newPage();
  try {
    const book = path.join(folder, 'SongBook.html');
    await promisify(execFile)(path.join(buildDir, 'kdb2mid'),
      ['songbook', '-C', sampleDb, '-o', book, '--by', 'title,artist,number']);
    const requests = [];
    page.on('request', (request) => requests.push(request.url()));
    const errors = [];
    page.on('pageerror', (error) => errors.push(error.message));
    await page.goto(pathToFileURL(book).href);
    await use(page);
    if (errors.length > 0) throw new Error(`page errors: ${errors.join('; ')}`);
    const elsewhere = requests.filter((url) => !url.startsWith('file:'));
    if (elsewhere.length > 0) throw new Error(`the page asked for ${elsewhere.join(', ')}`);
  } finally {
    await page.close();
    await rm(folder, { recursive: true, force: true });
  }
}

// The numbers of the songs shown, each once, and whether "no match" shows.
async function search(page, text) {
  await page.$eval('#find', (input) => { input.value = ''; });
  await page.type('#find', text);
  await page.waitForFunction(() => {
    const shown = document.querySelectorAll('li:not([hidden])').length;
    return shown > 0 || !document.getElementById('none').hidden;
  }, { timeout: 5000 });
  await new Promise((resolve) => { setTimeout(resolve, 150); });
  return page.evaluate(() => ({
    songs: [...new Set([...document.querySelectorAll('li')]
      .filter((row) => row.offsetParent !== null).map((row) => row.querySelector('b').textContent))].sort(),
    none: !document.getElementById('none').hidden,
  }));
}

export const tests = [
  {
    name: 'the search box finds songs without marks, by number, and says when none match',
    async run({ browser, buildDir }) {
      await withBook(browser, buildDir, async (page) => {
        const label = await page.$eval('#find', (input) => input.labels[0]?.textContent ?? '');
        if (label.trim() === '') throw new Error('the search box has no label');
        const cases = [
          ['trong com', ['50004']],
          ['COM TRONG', ['50004']],
          ['TRO\u0302\u0301NG', ['50004']], // typed with combining marks
          ['bèo dạt', ['50005']],
          ['dan ca', ['50004', '50005']],
          ['50002', ['50002']],
          ['500', ['50001', '50002', '50003', '50004', '50005']],
          ['jacq', ['50003']],
        ];
        for (const [query, expected] of cases) {
          const { songs, none } = await search(page, query);
          if (JSON.stringify(songs) !== JSON.stringify(expected) || none) {
            throw new Error(`"${query}" shows ${JSON.stringify(songs)}${none ? ' and "no match"' : ''}, `
              + `not ${JSON.stringify(expected)}`);
          }
        }
        const { songs, none } = await search(page, 'trong zzz');
        if (songs.length !== 0 || !none) throw new Error(`"trong zzz" shows ${JSON.stringify(songs)}`);
      });
    },
  },
];
