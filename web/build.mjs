// Bundles the pages `kdb2mid serve` sends into one folder: every file there
// is embedded into the program at build time and served under its own name
// ("/" is index.html; a name without an ending, like "sing", is a page).
// Nothing is fetched from the network by the pages.
//
//   node build.mjs OUTDIR
import { build } from 'esbuild';
import { copyFile, mkdir, rm } from 'node:fs/promises';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const outdir = path.resolve(process.argv[2] ?? path.join(here, 'dist'));
await rm(outdir, { recursive: true, force: true });
await mkdir(outdir, { recursive: true });

// The page's own thread never decodes a soundfont's Ogg Vorbis samples (the
// audio worklet, bundled by spessasynth_lib with its own decoder, does), so
// the decoder is left out of tv.js: 113 KB of its 280.
const noVorbisDecoder = {
  name: 'no-vorbis-decoder',
  setup(builder) {
    builder.onResolve({ filter: /^stb-vorbis$/ }, () => ({ path: 'stb-vorbis', namespace: 'no-vorbis' }));
    builder.onLoad({ filter: /.*/, namespace: 'no-vorbis' }, () => ({
      contents: `export const StbVorbis = {
        ready: Promise.resolve(),
        decode() { throw new Error('Vorbis samples are decoded in the audio worklet.'); },
      };`,
      loader: 'js',
    }));
  },
};

await build({
  entryPoints: { tv: path.join(here, 'src/tv.js'), sing: path.join(here, 'src/sing.js') },
  bundle: true,
  plugins: [noVorbisDecoder],
  format: 'esm',
  minify: true,
  target: ['chrome110', 'firefox115', 'safari16'],
  outdir,
  logLevel: 'warning',
});

// Copied as they are: the pages and the synthesiser's audio worklet, which
// the browser loads as a module of its own. The phone page is "sing", so
// that its address is /sing.
const copies = [
  ['src/index.html', 'index.html'],
  ['src/tv.css', 'tv.css'],
  ['src/sing.html', 'sing'],
  ['src/sing.css', 'sing.css'],
  ['node_modules/spessasynth_lib/dist/spessasynth_processor.min.js', 'synth-worklet.js'],
];
for (const [from, to] of copies) await copyFile(path.join(here, from), path.join(outdir, to));
