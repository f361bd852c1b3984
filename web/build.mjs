// Bundles the element modules of src/ into the one classic script zov.js, with
// its source map beside it, and copies the demo pages next to them: the folder
// the container serves.
//
//   node build.mjs OUTDIR
import { build } from 'esbuild';
import { cp, mkdir, rm } from 'node:fs/promises';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const out = process.argv[2];
if (!out || process.argv.length > 3) {
  console.error('usage: node build.mjs OUTDIR');
  process.exit(2);
}
const outDir = resolve(out);

await mkdir(outDir, { recursive: true });
await build({
  entryPoints: [join(here, 'src', 'index.js')],
  outfile: join(outDir, 'zov.js'),
  bundle: true,
  // A classic script: no import or export may be left in it.
  format: 'iife',
  // Chromium and Firefox ESR as Debian ships them, and Safari of the same years.
  target: ['chrome109', 'firefox115', 'safari16'],
  sourcemap: 'linked',
  sourcesContent: true,
  legalComments: 'inline',
  charset: 'utf8',
  logLevel: 'warning',
  // The modules are strict; so is the script made of them.
  banner: { js: "/* zov.js: made from web/src by web/build.mjs; change the modules there. */\n'use strict';" },
});
// The demo pages as they are; a page removed from src stays out of the copy too.
await rm(join(outDir, 'demo'), { recursive: true, force: true });
await cp(join(here, 'demo'), join(outDir, 'demo'), { recursive: true });
