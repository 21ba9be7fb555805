// Speed of the page beside the native companion on the same machine; prints
// figures and asserts nothing (bash scripts/web-bench.sh runs it):
//   - building and fully colouring 10000-node maps: the page's core in
//     Chromium against the companion, warm (maps one after another) and cold
//     (a fresh instance, a whole run), and as a visitor waits for it (the two
//     clicks with the page's updates);
//   - a batch of 1000 maps of 1000 nodes in the page on its workers (one per
//     core), against the companion's batch on as many threads;
//   - the size of the page's files.
import { spawnSync } from 'node:child_process';
import { readdirSync, readFileSync, statSync } from 'node:fs';
import { join } from 'node:path';
import { gzipSync } from 'node:zlib';
import { companion, removeFolder, servePage, site, startChromium, tempFolder } from './support.mjs';

const rounds = 5;
const seeds = ['1', '2', '3', '4', '5'];
const least = (xs) => Math.min(...xs);
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];
const ms = (x) => x.toFixed(1).padStart(7) + ' ms';

function timedRun(args) {
  const start = process.hrtime.bigint();
  const r = spawnSync(companion, args, { encoding: 'utf8' });
  if (r.status !== 0) throw new Error(r.stderr);
  return Number(process.hrtime.bigint() - start) / 1e6;
}

const server = await servePage();
const browser = await startChromium();
try {
  const page = await browser.context.newPage();
  await page.goto(server.origin + '/');
  await page.waitForSelector('body[data-ready=true]');
  const cores = await page.evaluate(() => navigator.hardwareConcurrency);

  // Warm: five maps one after another in one instance of the core (the
  // page's) and in one companion process (its batch on one thread, which
  // prints the sums of building and colouring). Cold: the first map of a
  // fresh instance of the page's core, and a whole companion run.
  console.log(`Building and fully colouring maps of 10000 nodes, seeds ${seeds.join(', ')} (least of ${rounds} rounds)`);
  const warmPage = [], warmNative = [], coldPage = [], coldNative = [];
  for (let round = 0; round < rounds; ++round) {
    const times = await page.evaluate(async (seeds) => {
      const { default: createOrvane } = await import('/orvane.mjs');
      const module = await WebAssembly.compileStreaming(fetch('/orvane.wasm'));
      const core = await createOrvane({
        instantiateWasm(imports, done) {
          WebAssembly.instantiate(module, imports).then((i) => done(i));
          return {};
        },
      });
      const session = new core.Session();
      const times = [];
      for (const seed of ['0', ...seeds]) {
        session.setText(1002, seed);
        session.setText(1004, '10000');
        const t0 = performance.now();
        session.click(1005, 0);
        session.click(1008, 0);
        times.push(performance.now() - t0);
      }
      session.delete();
      return times;
    }, seeds);
    coldPage.push(times[0]);
    warmPage.push(times.slice(1).reduce((a, b) => a + b, 0) / seeds.length);
    const folder = tempFolder();
    const said = spawnSync(companion, ['batch', '--seed', seeds[0], '--nodes', '10000', '--maps', String(seeds.length),
      '--jobs', '1', '--dir', folder], { encoding: 'utf8' }).stdout;
    removeFolder(folder);
    const sums = [...said.matchAll(/:\s+(\d+) \(msec\)/g)].map((m) => Number(m[1]));
    warmNative.push((sums[0] + sums[1]) / seeds.length);
    coldNative.push(timedRun(['colour', '--seed', '0', '--nodes', '10000', '--full']));
  }
  const clicks = [];
  for (let i = 0; i < rounds; ++i) {
    await page.fill('#c1002', seeds[i % seeds.length]);
    await page.fill('#c1004', '10000');
    clicks.push(await page.evaluate(() => {
      const t0 = performance.now();
      document.getElementById('c1005').click();
      document.getElementById('c1008').click();
      return performance.now() - t0;
    }));
  }
  console.log(`  warm, a map:  page ${ms(least(warmPage))}  companion ${ms(least(warmNative))}`
    + `  ratio ${(least(warmPage) / least(warmNative)).toFixed(2)}`);
  console.log(`  cold, a map:  page ${ms(least(coldPage))}  companion ${ms(least(coldNative))} (whole run)`
    + `  ratio ${(least(coldPage) / least(coldNative)).toFixed(2)}`);
  console.log(`  the two clicks in the page, with its updates: ${ms(least(clicks))} (median ${ms(median(clicks))})`);

  console.log(`\nA batch of 1000 maps of 1000 nodes (${cores} workers in the page, ${cores} threads in the companion)`);
  const page2 = [], native2 = [];
  for (let i = 0; i < 3; ++i) {
    await page.fill('#c1002', '1');
    await page.fill('#c1004', '1000');
    await page.fill('#c1011', '1000');
    const t0 = Date.now();
    await page.click('#c1012');
    await page.waitForFunction(() => !document.getElementById('c1012').hidden, null, { polling: 10, timeout: 600000 });
    page2.push(Date.now() - t0);
    const folder = tempFolder();
    native2.push(timedRun(['batch', '--seed', '1', '--nodes', '1000', '--maps', '1000', '--jobs', String(cores), '--dir', folder]));
    removeFolder(folder);
  }
  console.log(`  page ${ms(least(page2))} (${ms(median(page2))}); companion ${ms(least(native2))} (${ms(median(native2))})`);

  console.log('\nThe page\'s files (bytes, gzip)');
  let total = 0, zipped = 0;
  for (const name of readdirSync(site).sort()) {
    if (!statSync(join(site, name)).isFile()) continue;
    const bytes = readFileSync(join(site, name));
    const gz = gzipSync(bytes, { level: 9 }).length;
    total += bytes.length;
    zipped += gz;
    console.log(`  ${name.padEnd(14)} ${String(bytes.length).padStart(8)} ${String(gz).padStart(8)}`);
  }
  console.log(`  ${'all'.padEnd(14)} ${String(total).padStart(8)} ${String(zipped).padStart(8)}`);
} finally {
  await browser.close();
  server.close();
}
