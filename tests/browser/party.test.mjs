// A karaoke night in Chromium: the TV page and two phones (each in a
// browser context of its own, so each has its own storage and identity, on
// a 360-pixel screen, and reaching the server from another address, as
// phones on the network do) on one `kdb2mid serve`. Phone A finds 50004 by
// "trong com" and queues it as An; phone B sees it, cannot remove it,
// becomes the host with the PIN the TV shows, and moves, removes and skips;
// the TV follows every change. Names that look like markup stay text on
// every page. Then the server is killed (SIGKILL) mid-song and started
// again on the same state file, and the TV page reloaded: the TV and the
// phones take up the night where it was.
import { mkdtemp, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { freePort, guestRelay, sleep, startServer } from './serve.mjs';

const PHONE = { width: 360, height: 740, deviceScaleFactor: 2, isMobile: true, hasTouch: true };
// A change on one phone is on the other's screen within this long.
const PUSH_MS = 200;
const MARKUP_NAMES = ['<img src=x onerror=alert(1)>', '"onerror='];

function check(condition, message) {
  if (!condition) throw new Error(message);
}

// The page's text of one element, or null while there is none.
const textOf = (page, selector) => page.$eval(selector, (element) => element.textContent).catch(() => null);

// The queue as a phone shows it: each entry's singer text, whether it has a
// Remove button and how many elements its singer's text holds.
const shownQueue = (page) => page.$$eval('#queue li', (items) => items.map((item) => ({
  id: Number(item.dataset.id),
  singer: item.querySelector('.singer').firstChild?.textContent ?? '',
  mine: item.classList.contains('mine'),
  removable: item.querySelector('button[aria-label="Remove"]') !== null,
  images: item.querySelectorAll('img').length,
})));

// Presses "Add" beside the song among the results and types the singer's
// name in the dialog that asks for it, in place of the one remembered.
async function addOnPhone(page, song, singer) {
  await page.waitForSelector(`#results button[data-song="${song}"]`, { timeout: 5_000 });
  let pressed = false;
  for (const add of await page.$$('::-p-aria(Add)')) {
    if (await add.evaluate((button, number) => button.dataset.song === number, String(song))) {
      await add.click();
      pressed = true;
      break;
    }
  }
  check(pressed, `no button named "Add" beside ${song}`);
  const name = await page.waitForSelector('::-p-aria(Your name)', { visible: true });
  await name.evaluate((input) => { input.value = ''; });
  await name.type(singer);
}

async function night({ browser, buildDir, artifacts }) {
  const folder = await mkdtemp(path.join(tmpdir(), 'kdb2mid-party-'));
  const statePath = path.join(folder, 'night.json');
  const port = await freePort();
  const serve = () => startServer(buildDir, { port, args: ['--state', statePath] });
  let server = await serve();
  const { base } = server;
  const relay = await guestRelay(port);
  const contexts = [];
  const dialogs = [];
  try {
    const tv = await browser.newPage();
    await tv.setViewport({ width: 1280, height: 720 });
    const phones = [];
    for (let i = 0; i < 2; i += 1) {
      const context = await browser.createBrowserContext();
      contexts.push(context);
      const phone = await context.newPage();
      await phone.setViewport(PHONE);
      phones.push(phone);
    }
    const [a, b] = phones;
    for (const page of [tv, a, b]) {
      page.on('dialog', (dialog) => {
        dialogs.push(dialog.message());
        dialog.dismiss().catch(() => {});
      });
    }

    // Every byte phone A receives for its first load of /sing.
    const network = await a.createCDPSession();
    await network.send('Network.enable');
    let loadBytes = 0;
    network.on('Network.loadingFinished', (event) => { loadBytes += event.encodedDataLength; });
    const tvReady = tv.goto(`${base}/`).then(() => tv.waitForFunction(
      () => document.getElementById('notice').textContent.startsWith('Type'), { timeout: 30_000 },
    ));
    await a.goto(`${relay.base}/sing`, { waitUntil: 'load' });
    const firstLoad = loadBytes;
    await network.detach();
    await b.goto(`${relay.base}/sing`, { waitUntil: 'load' });
    await tvReady;

    // The TV plays a song of its own; A's goes into the queue behind it.
    const first = await fetch(`${base}/api/queue`, {
      method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ song: 50003 }),
    });
    check(first.status === 201, `queueing from the TV answered ${first.status}`);
    await tv.waitForSelector('#lyrics .word', { timeout: 10_000 });

    // Search as you type, with no marks: 50004 is among the results.
    await a.type('::-p-aria(Search songs)', 'trong com');
    await a.waitForFunction(() => [...document.querySelectorAll('#results li')]
      .some((item) => item.querySelector('.number').textContent === '50004'), { timeout: 5_000 });
    const found = await a.$$eval('#results li', (items) => items.map((item) => [
      item.querySelector('.number').textContent, item.querySelector('.title').textContent]));
    const title = found.find(([number]) => number === '50004')[1];
    check(title.normalize('NFC').toLocaleLowerCase('vi') === 'trống cơm', `50004 is listed as "${title}"`);
    await addOnPhone(a, 50004, 'An');

    // B sees A's entry: measured from A's press of "Add to queue" to the
    // entry on B's screen, both read on the browser's one clock.
    const seen = b.evaluate(() => new Promise((resolve) => {
      const look = () => [...document.querySelectorAll('#queue .singer')].some((s) => s.textContent === 'An');
      if (look()) resolve(Date.now());
      new MutationObserver(() => { if (look()) resolve(Date.now()); })
        .observe(document.getElementById('queue'), { childList: true, subtree: true, characterData: true });
    }));
    const pressed = await a.evaluate(() => {
      document.getElementById('add-confirm').click();
      return Date.now();
    });
    const pushMs = (await seen) - pressed;
    check(pushMs <= PUSH_MS, `phone B showed the entry ${pushMs} ms after phone A added it`);

    const [onA] = await shownQueue(a);
    const [onB] = await shownQueue(b);
    check(onA.mine && onA.removable, 'phone A does not show its own entry as its own, removable');
    check(!onB.mine && !onB.removable, 'phone B may remove phone A\'s entry');
    const refused = await b.evaluate(async (id) => (await fetch(`/api/queue/${id}`, {
      method: 'DELETE', headers: { 'X-Kdb2mid-Phone': localStorage.getItem('kdb2mid.phone') },
    })).status, onB.id);
    check(refused === 403, `phone B removing phone A's entry answered ${refused}`);

    // Names that look like markup: one typed on phone A (its remembered name
    // replaced), one queued by the TV.
    await a.$eval('#search', (input) => { input.value = ''; });
    await a.type('::-p-aria(Search songs)', 'twinkle');
    await addOnPhone(a, 50001, MARKUP_NAMES[0]);
    await a.click('#add-confirm');
    await a.waitForSelector('#add-dialog:not([open])');
    await fetch(`${base}/api/queue`, {
      method: 'POST', headers: { 'Content-Type': 'application/json' },
      body: JSON.stringify({ song: 50002, singer: MARKUP_NAMES[1] }),
    });
    for (const phone of phones) {
      await phone.waitForFunction((count) => document.querySelectorAll('#queue li').length === count,
        { timeout: 2_000 }, 3);
      const shown = await shownQueue(phone);
      check(JSON.stringify(shown.map((entry) => entry.singer)) === JSON.stringify(['An', ...MARKUP_NAMES])
        && shown.every((entry) => entry.images === 0), `a phone shows the queue as ${JSON.stringify(shown)}`);
    }

    // B becomes the host with the PIN on the TV's screen.
    const pin = await textOf(tv, '#pin');
    check(/^[0-9]{4,8}$/.test(pin ?? ''), `the TV shows the PIN "${pin}"`);
    await b.type('::-p-aria(PIN shown on the TV)', pin);
    await b.click('::-p-aria(Unlock)');
    await b.waitForSelector('#now-host:not([hidden])', { timeout: 2_000 });

    // The host moves the first markup name to the top: the TV announces it
    // as text.
    const [, markupEntry] = await shownQueue(b);
    await b.click(`#queue li[data-id="${markupEntry.id}"] ::-p-aria(Move up)`);
    const coming = `Next: ${MARKUP_NAMES[0]} \u2014 `;
    await tv.waitForFunction((text) => document.getElementById('coming').textContent.startsWith(text),
      { timeout: 2_000 }, coming);
    const tvImages = await tv.$$eval('#coming img, #up-next img, #lyrics img', (images) => images.length);
    check(tvImages === 0, 'a singer\'s name became an element on the TV');

    // The host removes both markup names, sets the key and skips: the TV
    // plays An's song at that key, then goes back to waiting.
    for (const name of MARKUP_NAMES) {
      const entry = (await shownQueue(b)).find((shown) => shown.singer === name);
      await b.click(`#queue li[data-id="${entry.id}"] ::-p-aria(Remove)`);
      await b.waitForFunction((id) => !document.querySelector(`#queue li[data-id="${id}"]`), { timeout: 2_000 },
        entry.id);
    }
    const karaoke = await (await fetch(`${base}/api/songs/50004/karaoke`)).json();
    await b.click('::-p-aria(Skip)');
    await tv.waitForFunction((text) => document.getElementById('title').textContent === text
      && document.querySelector('#lyrics .word'), { timeout: 10_000 }, karaoke.titles[0]);
    await b.click('::-p-aria(Key up)');
    await tv.waitForFunction(() => document.getElementById('key-text').textContent === 'Key +1', { timeout: 2_000 });
    await tv.screenshot({ path: path.join(artifacts, 'party-tv.png') });
    await b.screenshot({ path: path.join(artifacts, 'party-phone-host.png'), fullPage: true });

    // A SIGKILL mid-song (a change acknowledged over a second before it),
    // and the server started again on the same state file: the night is the
    // same, the TV goes on with An's song, and the phones follow the new
    // server.
    const queueAs = (song, singer) => fetch(`${base}/api/queue`, {
      method: 'POST', headers: { 'Content-Type': 'application/json' }, body: JSON.stringify({ song, singer }),
    });
    await queueAs(50005, 'Bình');
    await sleep(1100);
    const before = await (await fetch(`${base}/api/queue`)).json();
    server.child.kill('SIGKILL');
    await new Promise((resolve) => { server.child.once('exit', resolve); });
    const killedAt = Date.now();
    server = await serve();
    const after = await (await fetch(`${base}/api/queue`)).json();
    const kept = (state) => JSON.stringify([state.playing?.id, state.entries, state.history]);
    check(kept(after) === kept(before), `after a restart the night is ${kept(after)}, not ${kept(before)}`);
    await queueAs(50001, 'Chi');
    await b.waitForFunction(() => [...document.querySelectorAll('#queue .singer')]
      .map((singer) => singer.textContent).join() === 'Bình,Chi', { timeout: 10_000 });
    await tv.waitForFunction((text) => document.getElementById('title').textContent === text
      && document.querySelector('#lyrics .word'), { timeout: 10_000 }, karaoke.titles[0]);
    const resumedMs = Date.now() - killedAt;

    // A new start has a new PIN: the TV shows it, B becomes the host again
    // with it and skips An's song; the TV plays Bình's.
    const { pin: newPin } = await (await fetch(`${base}/api/pin`)).json();
    await tv.waitForFunction((text) => document.getElementById('pin').textContent === text, { timeout: 5_000 },
      newPin);
    if (newPin !== pin) {
      await b.waitForSelector('#pin-form:not([hidden])', { timeout: 5_000 });
      await b.type('::-p-aria(PIN shown on the TV)', newPin);
      await b.click('::-p-aria(Unlock)');
    }
    await b.waitForSelector('#now-host:not([hidden])', { timeout: 2_000 });
    const bình = await (await fetch(`${base}/api/songs/50005/karaoke`)).json();
    await b.click('::-p-aria(Skip)');
    await tv.waitForFunction((text) => document.getElementById('title').textContent === text
      && document.querySelector('#lyrics .word'), { timeout: 10_000 }, bình.titles[0]);
    const history = (await (await fetch(`${base}/api/queue`)).json()).history.map((entry) => entry.singer);
    check(history[0] === 'Bình' && history.includes('An'), `the history reads ${JSON.stringify(history)}`);

    // A reloaded TV page takes up the night: Bình's song again,
    // Chi's next.
    await tv.reload();
    await tv.waitForFunction((text) => document.getElementById('title').textContent === text
      && document.querySelector('#lyrics .word')
      && document.getElementById('coming').textContent.startsWith('Next: Chi \u2014 '), { timeout: 30_000 },
    bình.titles[0]);
    check(dialogs.length === 0, `a page opened a dialog: ${dialogs.join(', ')}`);

    console.log(`     /sing first load ${(firstLoad / 1024).toFixed(1)} KB; phone B saw phone A's entry after `
      + `${pushMs} ms; TV and phones back ${(resumedMs / 1000).toFixed(1)} s after a SIGKILL`);
    await tv.close();
  } finally {
    for (const context of contexts) await context.close().catch(() => {});
    relay.close();
    server.stop();
    await rm(folder, { recursive: true, force: true });
  }
}

export const tests = [
  { name: 'two phones and the TV share a night; the host acts with the PIN; a SIGKILL loses nothing', run: night },
];
