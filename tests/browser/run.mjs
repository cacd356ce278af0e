// Runs the page tests in one headless Chromium from Debian (/usr/bin/chromium),
// driven by puppeteer-core: no browser is downloaded. Every *.test.mjs file
// here exports `tests`, an array of { name, run(context) }; context holds the
// shared browser, the kdb2mid build folder and a folder for screenshots.
//
//   node run.mjs BUILD_DIR [FILE.test.mjs...]
//
// Closes on "N passed, N failed" and exits 1 when any test failed.
import { readdir, mkdir } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import puppeteer from 'puppeteer-core';

const here = path.dirname(fileURLToPath(import.meta.url));
const buildDir = path.resolve(process.argv[2] ?? path.join(here, '../../build/default'));
const chosen = process.argv.slice(3);
const files = chosen.length > 0
  ? chosen.map((file) => path.resolve(file))
  : (await readdir(here)).filter((name) => name.endsWith('.test.mjs')).sort()
      .map((name) => path.join(here, name));

const artifacts = path.resolve(process.env.KDB2MID_ARTIFACTS ?? path.join(buildDir, 'browser-artifacts'));
await mkdir(artifacts, { recursive: true });

// The flags keep a closed network quiet (no background connections, no
// updates) and let pages play sound without a user's gesture.
const browser = await puppeteer.launch({
  executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
  headless: true,
  args: [
    '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync',
    '--autoplay-policy=no-user-gesture-required',
  ],
});

let passed = 0;
let failed = 0;
const perTestLimitMs = 180_000;
try {
  for (const file of files) {
    const { tests } = await import(pathToFileURL(file).href);
    for (const test of tests) {
      const label = `${path.basename(file)}: ${test.name}`;
      const started = Date.now();
      let timer;
      try {
        await Promise.race([
          test.run({ browser, buildDir, artifacts }),
          new Promise((_, reject) => {
            timer = setTimeout(() => reject(new Error(`over ${perTestLimitMs / 1000} s`)), perTestLimitMs);
          }),
        ]);
        passed += 1;
        console.log(`ok   ${label} (${Date.now() - started} ms)`);
      } catch (error) {
        failed += 1;
        console.log(`FAIL ${label}: ${error?.stack ?? error}`);
      } finally {
        clearTimeout(timer);
      }
    }
  }
} finally {
  await browser.close();
}
console.log(`${passed} passed, ${failed} failed`);
process.exit(failed === 0 ? 0 : 1);
